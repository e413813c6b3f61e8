// Colour resolution, the colour reply of static and edit controls and the
// background painting of the toolkit's own windows. Internal to the toolkit.
#pragma once

#include <windows.h>

#include "ui/win32/toolkit.h"

// The object's background or text colour: its own, else that of the nearest
// registered ancestor with a concrete one, else COLOR_WINDOW / COLOR_WINDOWTEXT.
COLORREF ResolveBackColor(const FrameWindow& object);
COLORREF ResolveTextColor(const FrameWindow& object);

// Answers WM_CTLCOLOREDIT / WM_CTLCOLORSTATIC for `control`: sets up `dc`
// and returns the control's brush of its resolved background, reusing the
// cached one while the colour stays the same.
HBRUSH ColourReply(FrameWindow& control, HDC dc);

// Fills the clip box of `dc` with the object's resolved background colour;
// returns 1 (the background is erased).
LRESULT PaintBackground(const FrameWindow& object, HDC dc);
