#include "installer/setup_layout.h"

SetupLayout ComputeSetupLayout(const LayoutInput& in) {
  const int32_t w = in.pictureWidth != 0 ? in.pictureWidth : kDefaultWidth;
  const int32_t p = in.pictureHeight;
  const int32_t r = in.lineHeight;
  const int32_t h = p + in.captionHeight + 3 * r + 64;
  // C++ division truncates toward zero, as the centring must for a window
  // larger than the screen.
  SetupLayout layout;
  layout.picture = {0, 0, in.pictureWidth, p};
  layout.window = {(in.screenWidth - w) / 2, (in.screenHeight - h) / 2, w, h};
  layout.status = {30, p + 8, w - 90, r + 8};
  layout.target = {30, p + r + 16, w - 90, r + 8};
  layout.browse = {w - 50, p + r + 16, 30, r + 8};
  layout.progress = {30, p + r + 16, w - 60, r + 8};
  layout.start = {(w - 100) / 2, p + 2 * r + 34, 100, r + 14};
  return layout;
}
