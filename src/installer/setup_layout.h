// Where the setup window and its controls go: a fixed table over the
// picture's size, the font's line height and the screen.
#pragma once

#include <cstdint>

struct LayoutRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const LayoutRect&) const = default;
};

// The DPI the layout's numbers are written for; at any other, each fixed
// length is scaled by dpi / 96, rounded to the nearest pixel.
inline constexpr int32_t kBaseDpi = 96;
int32_t ScaleForDpi(int32_t length, int32_t dpi);

struct LayoutInput {
  int32_t pictureWidth = 0;  // 0: no picture, the window is kDefaultWidth wide; else scaled
  int32_t pictureHeight = 0;
  int32_t lineHeight = 0;  // the toolkit font's text height, at the window's DPI
  int32_t captionHeight = 0;
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  int32_t dpi = kBaseDpi;  // the window's
};

inline constexpr int32_t kDefaultWidth = 500;

// The main window in screen coordinates (its outer size: the picture's
// width includes the frame); the controls in its client coordinates.
struct SetupLayout {
  LayoutRect picture;
  LayoutRect window;
  LayoutRect status;
  LayoutRect target;
  LayoutRect browse;
  LayoutRect progress;  // the row of target and browse, which it replaces
  LayoutRect start;
};

SetupLayout ComputeSetupLayout(const LayoutInput& input);
