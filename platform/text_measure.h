// Measuring text before any window is shown, as the control window does to
// fit its labels.
#pragma once

namespace platform {

// Makes the toolkit ready to measure text. On X11 its fonts come through the
// display connection, which is opened here once; Windows needs nothing, as
// the toolkit measures against the screen's device context by itself.
void ReadyTextMeasuring();

}  // namespace platform
