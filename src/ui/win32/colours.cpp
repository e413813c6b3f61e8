#include "ui/win32/colours.h"

#include "ui/win32/window_list.h"

namespace {

COLORREF ResolveColour(const FrameWindow& object, int32_t FrameWindow::*colour, int systemColour) {
  if (object.*colour != COLOR_INHERIT) return static_cast<COLORREF>(object.*colour);
  if (object.hwnd != nullptr) {
    for (HWND above = GetParent(object.hwnd); above != nullptr; above = GetParent(above)) {
      const FrameWindow* ancestor = FrameWindow::FromHandle(above);
      if (ancestor != nullptr && ancestor->*colour != COLOR_INHERIT) {
        return static_cast<COLORREF>(ancestor->*colour);
      }
    }
  }
  return GetSysColor(systemColour);
}

}  // namespace

COLORREF ResolveBackColor(const FrameWindow& object) {
  return ResolveColour(object, &FrameWindow::backColor, COLOR_WINDOW);
}

COLORREF ResolveTextColor(const FrameWindow& object) {
  return ResolveColour(object, &FrameWindow::textColor, COLOR_WINDOWTEXT);
}

HBRUSH ColourReply(FrameWindow& control, HDC dc) {
  // An edit paints its own background behind the text; statics draw over
  // their parent's background.
  if (control.className != kClassEdit) SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ResolveTextColor(control));
  COLORREF background = ResolveBackColor(control);
  SetBkColor(dc, background);
  if (control.brush && control.brushColor == background) return control.brush.Get();
  control.brushColor = background;
  // The new brush exists before the old one goes, so a replaced brush never
  // comes back under the same handle.
  control.brush.Reset(CreateSolidBrush(background));
  return control.brush.Get();
}

LRESULT PaintBackground(const FrameWindow& object, HDC dc) {
  UniqueBrush brush(CreateSolidBrush(ResolveBackColor(object)));
  SelectGuard selected(dc, brush.Get());
  RECT clip;
  if (GetClipBox(dc, &clip) != ERROR) {
    PatBlt(dc, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, PATCOPY);
  }
  return 1;
}
