#include "platform/text_measure.h"

namespace platform {

// FLTK's Windows font code takes the screen's device context when no window
// is drawing; opening its display would only start OLE and the input method
// early.
void ReadyTextMeasuring() {}

}  // namespace platform
