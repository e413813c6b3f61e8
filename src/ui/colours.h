// Colour resolution and the colour reply of static and edit controls.
// Internal to the toolkit.
#pragma once

#include <windows.h>

#include "ui/toolkit.h"

// The object's background or text colour: its own, else that of the nearest
// registered ancestor with a concrete one, else COLOR_WINDOW / COLOR_WINDOWTEXT.
COLORREF ResolveBackColor(const FrameWindow& object);
COLORREF ResolveTextColor(const FrameWindow& object);

// Answers WM_CTLCOLOREDIT / WM_CTLCOLORSTATIC for `control`: sets up `dc`
// and returns the control's brush of its resolved background, reusing the
// cached one while the colour stays the same.
HBRUSH ColourReply(FrameWindow& control, HDC dc);
