// The long full path of the program's own file.
#pragma once

#include <windows.h>

inline constexpr DWORD kModulePathUnits = 512;

// Fills `path` (kModulePathUnits units) with the path of the module that
// holds this code, short (8.3) elements made long. Returns 1, or 0 when the
// path cannot be had (then `path` holds an empty string).
int GetModulePath(wchar_t* path);
