#include "editor/editor_idle.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include "editor/drawing_tools.h"
#include "export/export_ops.h"
#include "platform/platform.h"
#include "plugin/history_keys.h"
#include "plugin/plugin_state.h"
#include "plugin/terrain_history.h"
#include "plugin/views.h"
#include "preview/my_gl_win.h"
#include "ui/control_window.h"

namespace {

constexpr double kPassInterval = 1.0 / 60.0;

// The run lasts while both toolkit windows are shown and nobody asked to close.
bool RunGoesOn() {
  return !closeRequest && previewWindow && previewWindow->shown() && controlWindow &&
         controlWindow->window && controlWindow->window->shown();
}

void EndRun() {
  if (previewWindow) previewWindow->hide();
  if (controlWindow) controlWindow->hide();
}

void ServicePassRequest() {
  if (!passRequest) return;
  passRequest = 0;
  if (!PassToHost()) return;  // it said why; the run stays so the terrain can be exported
  MarkSaved();
  platform::ShowMessage("Information",
                        "Land correctly exported to Quarn!\nAdvanced Relievo Plugin 1.0 by\n"
                        "Ettar Quell \"Il Morvi\".",
                        platform::MessageIcon::Information);
  closeRequest = 1;
}

void ServiceExportRequest() {
  if (!exportRequest) return;
  exportRequest = 0;
  if (ExportToFile()) {
    MarkSaved();
    platform::ShowMessage("QMF exporter", "File correctly exported to QMF format.",
                          platform::MessageIcon::Information);
  }
}

// The map in grey with the brush square tinted red.
Heightmap Overlay(const BrushRect& rect) {
  Heightmap visu(heightmap.width(), heightmap.height(), 1, 3, 0);
  for (int c = 0; c < 3; ++c) visu.draw_image(0, 0, 0, c, heightmap);
  static const unsigned char red[3] = {255, 0, 0};
  visu.draw_rectangle(rect.x0, rect.y0, rect.x1, rect.y1, red, 0.1f);
  return visu;
}

// CImg reads -1 outside the window and over any area beyond the map, but
// keeps the button bits when the pointer leaves with a button held.
bool PointerOverMap() { return editorDisplay->mouse_x() >= 0 && editorDisplay->mouse_y() >= 0; }

// The window keeps the map's size times the zoom: a size given by the window
// manager would leave an area where the pointer reads -1.
void KeepEditorSize() {
  const int zoom = displayZoom > 0 ? displayZoom : 1;
  const int w = zoom * heightmap.width(), h = zoom * heightmap.height();
  if (editorDisplay->window_width() != w || editorDisplay->window_height() != h)
    editorDisplay->resize(w, h, true);
}

BrushRect PointerBrush() {
  const int zoom = displayZoom > 0 ? displayZoom : 1;
  return BrushRectAt(editorDisplay->mouse_x() / zoom, editorDisplay->mouse_y() / zoom,
                     static_cast<int>(brushSize), heightmap.width(), heightmap.height());
}

// visu was made before the tool ran, so the editor shows a stroke one pass
// late; the preview draws the live map and shows it at once.
void ToolStep(const Heightmap& visu, const BrushRect& rect) {
  const bool painting = currentTool >= kCreateMountain && currentTool <= kPaintPlainBrush &&
                        (editorDisplay->button() & 1) && PointerOverMap();
  // A stroke, however many passes it took, is one step of the history.
  if (!painting) FinishStroke();
  if (currentTool == kFixDraw) {
    editorDisplay->display(visu);
    return;
  }
  if (currentTool < kCreateMountain || currentTool > kPaintPlainBrush) return;
  if (painting) {
    StrokePass();
    ApplyTool(heightmap, currentTool, rect, brushHeight);
    editorDisplay->display(visu);
    RefreshPreview();
  }
  editorDisplay->display(visu);
}

void PumpTick(void*) {
  EditorIdle(nullptr);
  // Re-armed after the pass, so a message box open inside it never starts
  // another pass underneath.
  Fl::repeat_timeout(kPassInterval, PumpTick);
}

}  // namespace

void EditorIdle(void*) {
  if (previewWindow && previewWindow->damage()) previewWindow->redraw();
  // The editor window cannot be closed for good: it comes back with its image.
  if (editorDisplay && editorDisplay->is_closed()) ShowEditorAgain();
  if (!RunGoesOn()) {
    EndRun();
    return;
  }
  ServicePassRequest();
  ServiceExportRequest();
  if (!editorDisplay || heightmap.is_empty()) return;
  PollEditorHistoryKeys();
  KeepEditorSize();

  const BrushRect rect = PointerBrush();
  const Heightmap visu = Overlay(rect);
  BrushReadout(heightmap, rect, controlWindow);
  ToolStep(visu, rect);
}

void StartEditorPump() {
  Fl::remove_timeout(PumpTick);
  Fl::add_timeout(kPassInterval, PumpTick);
}

void StopEditorPump() { Fl::remove_timeout(PumpTick); }
