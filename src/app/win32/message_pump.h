// Letting one window handle what is queued for it, without blocking: the
// stub's long operations run inside a window procedure and call this so that
// the window keeps repainting.
#pragma once

#include <windows.h>

// Removes and dispatches the messages queued for `window` until none is left.
void PumpWindowMessages(HWND window);
