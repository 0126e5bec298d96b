// Frames on X11: a reparenting window manager puts each top-level window into
// a frame window of its own, a direct child of the root.
#include <FL/x.H>
#include <X11/Xutil.h>

#include "platform/cimg_config.h"
#include "platform/window_frame.h"

namespace platform {
namespace {

// The root's child that holds `w`: its frame, or `w` itself without a window
// manager. None when the window is gone.
Window TopAncestor(Window w) {
  for (;;) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(fl_display, w, &root, &parent, &children, &count)) return 0;
    if (children) XFree(children);
    if (parent == root || parent == 0) return w;
    w = parent;
  }
}

bool ScreenBox(Window w, WindowBox* box) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(fl_display, w, &a) || a.map_state != IsViewable) return false;
  Window child;
  int x = 0, y = 0;
  XTranslateCoordinates(fl_display, w, a.root, -a.border_width, -a.border_width, &x, &y, &child);
  *box = {x, y, a.width + 2 * a.border_width, a.height + 2 * a.border_width};
  return true;
}

// The editor's window belongs to CImg's own connection: a move still in its
// buffer would not be seen from the toolkit's. CImg's lock guards it.
void SyncImageLibraryConnection() {
  using namespace cimg_library;
  Display* display = cimg::X11_attr().display;
  if (!display) return;
  cimg::mutex(15);
  XSync(display, False);
  cimg::mutex(15, 0);
}

}  // namespace

bool FrameOf(std::uintptr_t native, WindowFrame* frame) {
  const Window w = static_cast<Window>(native);
  if (!fl_display || !w) return false;
  SyncImageLibraryConnection();
  const Window top = TopAncestor(w);
  if (!top || !ScreenBox(w, &frame->inner) || !ScreenBox(top, &frame->outer)) return false;
  XSizeHints hints{};
  long supplied = 0;
  frame->movesInner = XGetWMNormalHints(fl_display, w, &hints, &supplied) &&
                      (hints.flags & PWinGravity) && hints.win_gravity == StaticGravity;
  return true;
}

void MoveFrameTo(std::uintptr_t native, const WindowFrame& frame, int x, int y) {
  if (!fl_display || !native) return;
  int rx = 0, ry = 0;
  MoveRequestFor(frame, x, y, &rx, &ry);
  XMoveWindow(fl_display, static_cast<Window>(native), rx, ry);
  XFlush(fl_display);
}

}  // namespace platform
