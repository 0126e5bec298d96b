#include <FL/x.H>

#include "platform/text_measure.h"

namespace platform {

void ReadyTextMeasuring() { fl_open_display(); }

}  // namespace platform
