// Background painting of the toolkit's own windows. Internal to the toolkit.
#pragma once

#include <windows.h>

#include "ui/toolkit.h"

// Fills the clip box of `dc` with the object's resolved background colour;
// returns 1 (the background is erased).
LRESULT PaintBackground(const FrameWindow& object, HDC dc);
