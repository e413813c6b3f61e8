// The toolkit's process-wide state and the list of live window objects.
// Internal to the toolkit (and its tests).
#pragma once

#include <windows.h>

#include "base/win32/gdi_handles.h"
#include "ui/win32/toolkit.h"

struct ToolkitState {
  HINSTANCE instance = nullptr;     // owns the class and every window; from ToolkitInit
  FrameWindow* head = nullptr;      // newest first; every object whose window lives
  FrameWindow* creating = nullptr;  // the object inside FrameWindow::Create
  HWND mainWindow = nullptr;        // the first top-level window; quits the loop
  UniqueFont font;                  // given to every window
  // "__TFRAME_WINDOW_CLASS__" and two 32-bit hexadecimal numbers.
  wchar_t className[64] = {};
};

ToolkitState& Toolkit();

// Links `object` at the head of the list.
void LinkWindow(FrameWindow* object);
// Unlinks `object` if it is listed and clears its window and link.
void UnlinkWindow(FrameWindow* object);
bool IsListed(const FrameWindow* object);

// The object of the first window above `window` (its parent, the parent's
// parent, ...) that is registered; a window is never its own ancestor.
FrameWindow* NearestRegisteredAncestor(HWND window);

using DestroyWindowFunction = BOOL(WINAPI*)(HWND);
// Destroys root after root until the list is empty; each destruction takes
// the root's registered descendants with it. `destroy` is DestroyWindow
// except in tests that count the calls.
void DestroyAllWindows(DestroyWindowFunction destroy = DestroyWindow);
