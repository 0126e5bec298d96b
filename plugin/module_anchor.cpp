// The module's own translation unit: everything else comes whole from the
// static library, and the version script keeps only the entry points public.
#include "plugin/exports.h"
