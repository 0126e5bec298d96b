#include "ui/close_question.h"

#include <FL/Fl_Widget.H>

#include "platform/platform.h"
#include "plugin/terrain_history.h"

bool CloseConfirmed() {
  if (!TerrainUnsaved()) return true;
  return platform::AskYesNo(
      "Warning",
      "The landscape has not been exported or passed to Quarn. Close the plug-in anyway?");
}

void CloseWindowCallback(Fl_Widget* w, void*) {
  if (CloseConfirmed()) w->hide();
}
