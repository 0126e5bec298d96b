#include "editor/editor_idle.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include "plugin/plugin_state.h"
#include "preview/my_gl_win.h"
#include "ui/control_window.h"

void EditorIdle(void*) {
  if (editorDisplay && editorDisplay->is_closed()) editorDisplay->show();
  bool alive = !closeRequest && previewWindow && previewWindow->shown() && controlWindow &&
               controlWindow->window->shown();
  if (!alive) {
    if (previewWindow) previewWindow->hide();
    if (controlWindow) controlWindow->hide();
  }
}

void StartEditorPump() { Fl::add_idle(EditorIdle); }
void StopEditorPump() { Fl::remove_idle(EditorIdle); }
