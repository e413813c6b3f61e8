#include "ui/painting.h"

#include "ui/colours.h"

LRESULT PaintBackground(const FrameWindow& object, HDC dc) {
  UniqueBrush brush(CreateSolidBrush(ResolveBackColor(object)));
  SelectGuard selected(dc, brush.Get());
  RECT clip;
  if (GetClipBox(dc, &clip) != ERROR) {
    PatBlt(dc, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, PATCOPY);
  }
  return 1;
}
