// Portable code keeps UTF-16 as char16_t; the Win32 API takes wchar_t, which
// is the same 16-bit unit there.
#pragma once

#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline const wchar_t* AsWide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
inline const wchar_t* AsWide(const std::u16string& text) { return AsWide(text.c_str()); }
