#include "plugin/views.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include <climits>
#include <cstdlib>

#include "plugin/plugin_state.h"
#include "preview/my_gl_win.h"
#include "ui/control_window.h"

namespace {

// Room between windows for a window manager's frame, and above a window
// stacked under another for its title bar.
constexpr int kGap = 10;
constexpr int kTitleGap = 40;
// A window manager may shift a placed window by its frame; a window further
// from where it was put than this was moved by the user.
constexpr int kMovedBy = 48;

struct Placement {
  bool placed = false;
  int x = 0, y = 0;
};
Placement placements[3];  // editor, preview, control window

WindowBox WorkArea() {
  WindowBox a;
  Fl::screen_work_area(a.x, a.y, a.w, a.h, 0);
  return a;
}

bool Inside(const WindowBox& area, const WindowBox& b) {
  return b.x >= area.x && b.y >= area.y && b.x + b.w <= area.x + area.w &&
         b.y + b.h <= area.y + area.h;
}

// Current top-left corners and sizes; the editor's position is unknown while
// it is unmapped.
bool CurrentBoxes(WindowBox boxes[3]) {
  if (!editorDisplay || !previewWindow || !controlWindow || !controlWindow->window) return false;
  boxes[0] = {editorDisplay->window_x(), editorDisplay->window_y(), editorDisplay->width(),
              editorDisplay->height()};
  boxes[1] = {previewWindow->x(), previewWindow->y(), previewWindow->w(), previewWindow->h()};
  Fl_Double_Window* c = controlWindow->window;
  boxes[2] = {c->x(), c->y(), c->w(), c->h()};
  return true;
}

bool MovedByUser(int i, const WindowBox& now) {
  if (!placements[i].placed || now.x == INT_MIN || now.y == INT_MIN) return false;
  return std::abs(now.x - placements[i].x) > kMovedBy ||
         std::abs(now.y - placements[i].y) > kMovedBy;
}

}  // namespace

void RefreshEditor() {
  if (editorDisplay) heightmap.display(*editorDisplay);
}

void RefreshPreview() {
  if (previewWindow) previewWindow->redraw();
}

void ResizeEditor(int w, int h) {
  if (!editorDisplay) return;
  editorDisplay->resize(w, h, true);
  ArrangeRunWindows();
}

bool PlaceSideBySide(const WindowBox& area, WindowBox boxes[3]) {
  WindowBox& e = boxes[0];
  WindowBox& p = boxes[1];
  WindowBox& c = boxes[2];
  e.x = area.x;
  e.y = area.y;
  p.x = e.x + e.w + kGap;
  p.y = area.y;
  c.x = p.x + p.w + kGap;
  c.y = area.y;
  if (Inside(area, e) && Inside(area, p) && Inside(area, c)) return true;
  // A column: the preview above the control window, both right of the editor.
  WindowBox row[3] = {e, p, c};
  c.x = p.x;
  c.y = p.y + p.h + kTitleGap;
  if (Inside(area, e) && Inside(area, p) && Inside(area, c)) return true;
  for (int i = 0; i < 3; ++i) boxes[i] = row[i];
  return false;
}

void ArrangeRunWindows(bool fresh) {
  if (fresh)
    for (Placement& p : placements) p = Placement();
  WindowBox now[3], want[3];
  if (!CurrentBoxes(now)) return;
  for (int i = 0; i < 3; ++i) want[i] = now[i];
  PlaceSideBySide(WorkArea(), want);
  for (int i = 0; i < 3; ++i) {
    if (MovedByUser(i, now[i])) continue;
    placements[i] = {true, want[i].x, want[i].y};
    if (i == 0 && (now[0].x != want[0].x || now[0].y != want[0].y))
      editorDisplay->move(want[0].x, want[0].y);
    if (i == 1) previewWindow->position(want[1].x, want[1].y);
    if (i == 2) controlWindow->window->position(want[2].x, want[2].y);
  }
}

bool EditorFits(int w, int h) {
  const WindowBox area = WorkArea();
  WindowBox boxes[3];
  if (!CurrentBoxes(boxes)) return w <= area.w && h <= area.h;
  boxes[0].w = w;
  boxes[0].h = h;
  if (!MovedByUser(0, boxes[0])) return PlaceSideBySide(area, boxes);
  return boxes[0].x + w <= area.x + area.w && boxes[0].y + h <= area.y + area.h;
}
