#include "ui/tool_icons.h"

#include <FL/Fl_Pixmap.H>

#include "ui/tool_icons_xpm.h"

namespace {

// Static objects: built at module load, destroyed in reverse order at unload.
Fl_Pixmap toolIcons[kToolIconCount] = {
    Fl_Pixmap(fixDrawXpm),          Fl_Pixmap(paintPlainBrushXpm), Fl_Pixmap(createMountainXpm),
    Fl_Pixmap(createDepressionXpm), Fl_Pixmap(noiseZoneXpm),       Fl_Pixmap(blurZoneXpm),
    Fl_Pixmap(rotateRightXpm),      Fl_Pixmap(rotateLeftXpm),      Fl_Pixmap(enlargeXpm),
    Fl_Pixmap(reduceXpm),           Fl_Pixmap(flipHorizontalXpm),  Fl_Pixmap(flipVerticalXpm),
};

}  // namespace

Fl_Pixmap* ToolIconImage(ToolIcon icon) { return &toolIcons[static_cast<int>(icon)]; }
