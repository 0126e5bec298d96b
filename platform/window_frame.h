// Where a top-level window lies on the screen together with the frame a window
// manager put around it, and moving it by that frame. The title bar is part of
// the frame, so placing frames inside the work area keeps every title bar on it.
#pragma once

#include <cstdint>

struct WindowBox {
  int x, y, w, h;
};

namespace platform {

struct WindowFrame {
  WindowBox outer;  // the frame, title bar and borders included
  WindowBox inner;  // the window's own area, as the screen has it now
  // A move request gives the window's own top-left, not the frame's (the
  // window asked for static gravity).
  bool movesInner;
};

// The frame of the shown top-level window `native` (an X11 Window or a Win32
// HWND). False while it is not on the screen. Without a window manager the
// frame is the window itself.
bool FrameOf(std::uintptr_t native, WindowFrame* frame);

// Asks for the frame's top-left at (x, y); `frame` is the window's last known
// FrameOf. The window manager may take a moment to carry it out.
void MoveFrameTo(std::uintptr_t native, const WindowFrame& frame, int x, int y);

// Where a move request must point for the frame to land at (x, y).
inline void MoveRequestFor(const WindowFrame& f, int x, int y, int* rx, int* ry) {
  *rx = f.movesInner ? x + f.inner.x - f.outer.x : x;
  *ry = f.movesInner ? y + f.inner.y - f.outer.y : y;
}

}  // namespace platform
