// The message the extraction sends to the setup window, and its kinds.
#pragma once

#include <windows.h>

inline constexpr UINT WM_SETUP_PROGRESS = WM_APP + 10;
static_assert(WM_SETUP_PROGRESS == 0x800A);

// wParam of WM_SETUP_PROGRESS; lParam as noted.
inline constexpr WPARAM PROGRESS_TEXT = 1;       // a UTF-16 text
inline constexpr WPARAM PROGRESS_PERCENT = 2;    // the percentage
inline constexpr WPARAM PROGRESS_FILE_NAME = 3;  // the current file's UTF-16 name
