#include "installer/setup_layout.h"

int32_t ScaleForDpi(int32_t length, int32_t dpi) {
  if (dpi == kBaseDpi || dpi <= 0) return length;
  const int64_t scaled = int64_t{length} * dpi;
  return static_cast<int32_t>((scaled + (scaled < 0 ? -kBaseDpi : kBaseDpi) / 2) / kBaseDpi);
}

SetupLayout ComputeSetupLayout(const LayoutInput& in) {
  const auto s = [&](int32_t length) { return ScaleForDpi(length, in.dpi); };
  const int32_t w = in.pictureWidth != 0 ? in.pictureWidth : s(kDefaultWidth);
  const int32_t p = in.pictureHeight;
  const int32_t r = in.lineHeight;
  const int32_t h = p + in.captionHeight + 3 * r + s(64);
  // C++ division truncates toward zero, as the centring must for a window
  // larger than the screen.
  SetupLayout layout;
  layout.picture = {0, 0, in.pictureWidth, p};
  layout.window = {(in.screenWidth - w) / 2, (in.screenHeight - h) / 2, w, h};
  layout.status = {s(30), p + s(8), w - s(90), r + s(8)};
  layout.target = {s(30), p + r + s(16), w - s(90), r + s(8)};
  layout.browse = {w - s(50), p + r + s(16), s(30), r + s(8)};
  layout.progress = {s(30), p + r + s(16), w - s(60), r + s(8)};
  layout.start = {(w - s(100)) / 2, p + 2 * r + s(34), s(100), r + s(14)};
  return layout;
}
