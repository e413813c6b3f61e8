// Moving and sizing windows, and window rectangles in parent coordinates.
#include "ui/win32/toolkit.h"

int FrameWindow::SetPos(int x, int y, int width, int height, UINT flags) {
  // SWP_NOREDRAW is the toolkit's "do not invalidate"; the move itself always
  // redraws what the system would.
  BOOL moved = SetWindowPos(hwnd, nullptr, x, y, width, height,
                            (flags | SWP_NOZORDER) & ~UINT{SWP_NOREDRAW});
  if ((flags & SWP_NOREDRAW) != 0) return moved;
  return InvalidateRect(hwnd, nullptr, TRUE);
}

void GetRectInParent(HWND window, RECT* rect) {
  if (!GetWindowRect(window, rect)) {
    SetRectEmpty(rect);
    return;
  }
  if ((static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)) & WS_CHILD) == 0) return;
  HWND parent = GetParent(window);
  if (parent == nullptr) return;
  POINT corner{rect->left, rect->top};
  ScreenToClient(parent, &corner);
  OffsetRect(rect, corner.x - rect->left, corner.y - rect->top);
}
