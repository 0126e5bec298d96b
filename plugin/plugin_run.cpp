#include "plugin/plugin_run.h"

#include <FL/Fl.H>

#include <cstdio>
#include <memory>
#include <string>

#include "editor/editor_idle.h"
#include "imagefiles/image_files.h"
#include "platform/platform.h"
#include "plugin/history_keys.h"
#include "plugin/plugin_state.h"
#include "plugin/recovery.h"
#include "plugin/terrain_history.h"
#include "plugin/views.h"
#include "preview/my_gl_win.h"
#include "terrain/generators.h"
#include "ui/close_question.h"
#include "ui/control_window.h"

namespace {

bool running = false;

// Clears the run's objects however the run is left, so nothing dangles.
struct RunObjects {
  ~RunObjects() {
    // Unless the loop ended normally the copy stays, to be offered again.
    EndRecovery(false);
    StopEditorPump();
    RemoveHistoryShortcuts();
    // A stroke still held when the run ends is a step of its own.
    FinishStroke();
    delete editorDisplay;
    editorDisplay = nullptr;
    delete previewWindow;
    previewWindow = nullptr;
    delete controlWindow;
    controlWindow = nullptr;
    running = false;
  }
};

cimg_library::CImgDisplay* OpenEditorDisplay(const Heightmap& map) {
  try {
    return new cimg_library::CImgDisplay(map, "Heightmap", 1, false, false);
  } catch (const cimg_library::CImgDisplayException&) {
#if cimg_display == 1
    // CImg's X11 constructor throws with its window lock still held, which
    // would hang every later run; take it if free, then release it.
    cimg_library::cimg::mutex(14, 2);
    cimg_library::cimg::mutex(14, 0);
#endif
    throw;
  }
}

}  // namespace

void ReportRunFailure(const std::string& why, bool showBox) {
  std::fprintf(stderr, "%s\n", why.c_str());
  std::fflush(stderr);
  if (showBox) platform::ShowMessage("Warning", why, platform::MessageIcon::Exclamation);
}

std::string FormatFreeImageMessage(int format, const char* message) {
  char buffer[1024];
  std::snprintf(buffer, sizeof(buffer), "%d : %s", format, message ? message : "");
  return buffer;
}

void FreeImageMessageHandler(int format, const char* message) {
  platform::ShowMessage("Warning", FormatFreeImageMessage(format, message),
                        platform::MessageIcon::Exclamation);
}

void RunPlugin() {
  // One set of run windows exists; a nested call (say from the host's
  // callback) must leave the running run alone.
  if (running) return;
  std::string reason;
  if (!platform::OpenDisplay(&reason)) {
    // With no screen there is no box either: standard error is all there is.
    ReportRunFailure(
        "Advanced Relievo cannot open its windows: " + reason + ". The heightmap is unchanged.",
        false);
    return;
  }
  running = true;
  RunObjects objects;

  // The start-up terrain replaces the map only once the windows exist, so a
  // run that cannot open them leaves the map as it was.
  Heightmap start(heightmap);
  StartupTerrain(start);
  editorDisplay = OpenEditorDisplay(start);
  previewWindow = new MyGlWin(0, 0, 300, 300, "Landscape 3D View");
  controlWindow = new ControlWindow();
  // The start-up terrain is a step, so the previous run's map can be
  // brought back; it is not the user's change and so not unsaved.
  BeginChange();
  start.move_to(heightmap);
  EndChange();
  MarkSaved();
  RouteFreeImageMessages(FreeImageMessageHandler);
  ArrangeRunWindows(true);
  controlWindow->show();
  previewWindow->callback(CloseWindowCallback);
  previewWindow->size_range(300, 300, 0, 0, 0, 0, 0);
  previewWindow->show();
  previewWindow->redraw();
  InstallHistoryShortcuts();
  StartEditorPump();
  StartRecovery();
  Fl::run();
  EndRecovery(true);
}
