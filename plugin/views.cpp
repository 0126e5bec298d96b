#include "plugin/views.h"

#include "plugin/plugin_state.h"
#include "preview/my_gl_win.h"

void RefreshEditor() {
  if (editorDisplay) heightmap.display(*editorDisplay);
}

void RefreshPreview() {
  if (previewWindow) previewWindow->redraw();
}

void ResizeEditor(int w, int h) {
  if (editorDisplay) editorDisplay->resize(w, h, true);
}
