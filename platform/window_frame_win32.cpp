// Frames on Windows: the window rectangle holds the title bar and borders, the
// client rectangle the window's own area. The toolkits move windows by their
// client area.
#include <windows.h>

#include "platform/window_frame.h"

namespace platform {

bool FrameOf(std::uintptr_t native, WindowFrame* frame) {
  HWND w = reinterpret_cast<HWND>(native);
  RECT outer, client;
  if (!w || !IsWindowVisible(w) || !GetWindowRect(w, &outer) || !GetClientRect(w, &client))
    return false;
  POINT origin = {0, 0};
  ClientToScreen(w, &origin);
  frame->outer = {outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top};
  frame->inner = {origin.x, origin.y, client.right, client.bottom};
  frame->movesInner = true;
  return true;
}

void MoveFrameTo(std::uintptr_t native, const WindowFrame&, int x, int y) {
  HWND w = reinterpret_cast<HWND>(native);
  if (w) SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace platform
