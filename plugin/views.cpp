#include "plugin/views.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/x.H>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "plugin/plugin_state.h"
#include "preview/my_gl_win.h"
#include "ui/control_window.h"

namespace {

using Clock = std::chrono::steady_clock;

// Room between two frames.
constexpr int kGap = 10;
// A frame further from where it was put than this was moved by the user.
constexpr int kMovedBy = 48;
// How long a window manager may take to carry out a move we asked for.
constexpr std::chrono::seconds kMoveInFlight{2};
// How often the frames are looked at during a run: the window manager frames
// the windows some time after they are shown, and the editor's place is kept
// for when it comes back after its close button.
constexpr double kWatchInterval = 0.2;

struct Placement {
  bool placed = false;
  bool arrived = false;      // the frame was seen where it was put
  int x = 0, y = 0;          // the frame's top-left that was asked for
  int fromX = 0, fromY = 0;  // and where it was then
  Clock::time_point at;
};
Placement placements[3];  // editor, preview, control window

// The last frame seen of each window, and the decoration the last arrangement
// counted with.
platform::WindowFrame frames[3];
bool framed[3] = {false, false, false};
WindowBox decorationUsed[3];
// Whether the windows were placed again once all three were on the screen:
// the toolkit and the window manager move a window as they show it.
bool placedWhenShown = false;

WindowBox WorkArea() {
  WindowBox a;
  Fl::screen_work_area(a.x, a.y, a.w, a.h, 0);
  return a;
}

bool Inside(const WindowBox& area, const WindowBox& b) {
  return b.x >= area.x && b.y >= area.y && b.x + b.w <= area.x + area.w &&
         b.y + b.h <= area.y + area.h;
}

bool Overlap(const WindowBox& a, const WindowBox& b) {
  return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// Moves the box into the area as far as its size allows; one larger than the
// area keeps its top-left corner, and with it the title bar, on the area.
void Clamp(const WindowBox& area, WindowBox& b) {
  if (b.x + b.w > area.x + area.w) b.x = area.x + area.w - b.w;
  if (b.y + b.h > area.y + area.h) b.y = area.y + area.h - b.h;
  if (b.x < area.x) b.x = area.x;
  if (b.y < area.y) b.y = area.y;
}

bool RunWindowsExist() {
  return editorDisplay && previewWindow && controlWindow && controlWindow->window;
}

Fl_Window* ToolkitWindow(int i) {
  return i == 1 ? static_cast<Fl_Window*>(previewWindow) : controlWindow->window;
}

std::uintptr_t Native(int i) {
  if (i == 0) return (std::uintptr_t)editorDisplay->_window;
  Fl_Window* w = ToolkitWindow(i);
  return w->shown() ? (std::uintptr_t)fl_xid(w) : 0;
}

// The window's own box as the toolkit has it; the editor's position is
// unknown while it is unmapped.
WindowBox ContentBox(int i) {
  if (i == 0)
    return {editorDisplay->window_x(), editorDisplay->window_y(), editorDisplay->width(),
            editorDisplay->height()};
  Fl_Window* w = ToolkitWindow(i);
  return {w->x(), w->y(), w->w(), w->h()};
}

// Left, top, and added width and height of the frame around the window.
WindowBox Decoration(const platform::WindowFrame& f) {
  return {f.inner.x - f.outer.x, f.inner.y - f.outer.y, f.outer.w - f.inner.w,
          f.outer.h - f.inner.h};
}

bool Seen(int i) {
  platform::WindowFrame f;
  if (!platform::FrameOf(Native(i), &f)) return false;
  frames[i] = f;
  framed[i] = true;
  return true;
}

// The window's frame as it is now, sized for the window's current size (the
// editor may have just been resized). Before any frame was seen, the frame is
// taken to be the window itself.
WindowBox FrameBox(int i) {
  const WindowBox content = ContentBox(i);
  if (!Seen(i) && !framed[i]) return content;
  const WindowBox d = Decoration(frames[i]);
  return {frames[i].outer.x, frames[i].outer.y, content.w + d.w, content.h + d.h};
}

bool Near(const WindowBox& now, int x, int y) {
  return std::abs(now.x - x) <= kMovedBy && std::abs(now.y - y) <= kMovedBy;
}

bool MovedByUser(int i, const WindowBox& now) {
  Placement& p = placements[i];
  if (!p.placed || now.x == INT_MIN || now.y == INT_MIN) return false;
  if (Near(now, p.x, p.y)) {
    p.arrived = true;
    return false;
  }
  // Until it arrives, a frame still where it was is only waiting for the move.
  return p.arrived || Clock::now() - p.at > kMoveInFlight || !Near(now, p.fromX, p.fromY);
}

void MoveFrame(int i, const WindowBox& from, int x, int y) {
  placements[i] = {true, false, x, y, from.x, from.y, Clock::now()};
  if (i == 0) {
    // Without a frame the image library's own move keeps its idea of the
    // position current; with one, that idea is relative to the frame.
    const WindowBox d = framed[0] ? Decoration(frames[0]) : WindowBox{0, 0, 0, 0};
    if (d.x == 0 && d.y == 0 && d.w == 0 && d.h == 0)
      editorDisplay->move(x, y);
    else
      platform::MoveFrameTo(Native(0), frames[0], x, y);
    return;
  }
  Fl_Window* w = ToolkitWindow(i);
  int rx = x, ry = y;
  if (framed[i]) platform::MoveRequestFor(frames[i], x, y, &rx, &ry);
  // The toolkit shows a new window below the screen's top edge but keeps the
  // position it was given; moving it there again would then do nothing.
  if (w->shown() && framed[i] && w->x() == rx && w->y() == ry)
    platform::MoveFrameTo(Native(i), frames[i], x, y);
  else
    w->position(rx, ry);
}

bool SameBox(const WindowBox& a, const WindowBox& b) {
  return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
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
  c.y = p.y + p.h + kGap;
  if (Inside(area, e) && Inside(area, p) && Inside(area, c)) return true;
  for (int i = 0; i < 3; ++i) {
    boxes[i] = row[i];
    Clamp(area, boxes[i]);
  }
  return false;
}

bool ArrangeFrames(const WindowBox& area, const WindowBox now[3], const bool keep[3], bool fresh,
                   WindowBox want[3]) {
  WindowBox layout[3] = {now[0], now[1], now[2]};
  const bool fits = PlaceSideBySide(area, layout);
  want[0] = keep[0] ? now[0] : layout[0];
  bool stay = !fresh && !Overlap(now[1], now[2]);
  for (int i = 1; i < 3; ++i)
    stay = stay && (keep[i] || (Inside(area, now[i]) && !Overlap(now[i], want[0])));
  for (int i = 1; i < 3; ++i) want[i] = keep[i] || stay ? now[i] : layout[i];
  return fits;
}

namespace {

// Places the windows; `anew` as on a fresh start, with every window that the
// user has not moved in its place in the arrangement.
void Place(bool anew) {
  if (!RunWindowsExist()) return;
  WindowBox now[3], want[3];
  bool keep[3];
  for (int i = 0; i < 3; ++i) {
    now[i] = FrameBox(i);
    keep[i] = MovedByUser(i, now[i]);
    decorationUsed[i] = framed[i] ? Decoration(frames[i]) : WindowBox{0, 0, 0, 0};
  }
  const bool fits = ArrangeFrames(WorkArea(), now, keep, anew, want);
  for (int i = 0; i < 3; ++i) {
    if (keep[i]) continue;
    const bool moves = want[i].x != now[i].x || want[i].y != now[i].y;
    if (moves || !placements[i].placed) MoveFrame(i, now[i], want[i].x, want[i].y);
  }
  // Where they cannot all fit side by side, the controls stay reachable.
  if (!fits && controlWindow->window->shown()) controlWindow->window->show();
}

// Places the windows again once the window manager has put frames around them
// (or changed them), and keeps the editor's frame for ShowEditorAgain.
void WatchFrames(void*) {
  if (!RunWindowsExist()) return;
  bool changed = false, shown = true;
  for (int i = 0; i < 3; ++i) {
    const bool seen = Seen(i);
    shown = shown && seen;
    changed = (seen && !SameBox(Decoration(frames[i]), decorationUsed[i])) || changed;
  }
  if (changed || (shown && !placedWhenShown)) {
    placedWhenShown = placedWhenShown || shown;
    Place(true);
  }
  Fl::repeat_timeout(kWatchInterval, WatchFrames);
}

}  // namespace

void ArrangeRunWindows(bool fresh) {
  if (fresh) {
    for (Placement& p : placements) p = Placement();
    for (bool& f : framed) f = false;
    placedWhenShown = false;
    Fl::remove_timeout(WatchFrames);
    Fl::add_timeout(kWatchInterval, WatchFrames);
  }
  Place(fresh);
}

void ShowEditorAgain() {
  if (!editorDisplay) return;
  editorDisplay->show();
  // A window manager places a window mapped anew as it likes.
  if (framed[0]) platform::MoveFrameTo(Native(0), frames[0], frames[0].outer.x, frames[0].outer.y);
}

bool EditorFits(int w, int h) {
  const WindowBox area = WorkArea();
  if (!RunWindowsExist()) return w <= area.w && h <= area.h;
  WindowBox boxes[3];
  for (int i = 0; i < 3; ++i) boxes[i] = FrameBox(i);
  boxes[0].w += w - editorDisplay->width();
  boxes[0].h += h - editorDisplay->height();
  if (!MovedByUser(0, boxes[0])) return PlaceSideBySide(area, boxes);
  return boxes[0].x + boxes[0].w <= area.x + area.w && boxes[0].y + boxes[0].h <= area.y + area.h;
}
