// Paths and messages between the command line's UTF-8 and the wide Win32
// API. Unlike the stub's conversions these keep characters beyond U+FFFF.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// UTF-8 to UTF-16; malformed bytes become U+FFFD.
std::wstring ToWide(std::string_view utf8);

// UTF-16 to UTF-8; false for a lone surrogate, which has no UTF-8 form.
bool ToUtf8(std::wstring_view wide, std::string* utf8);

// The absolute form of `path` with the \\?\ prefix, so that paths longer than
// MAX_PATH work; '/' separators become '\'. Relative paths start at the
// current folder.
std::wstring LongPath(const std::string& path);

// The system's text for a GetLastError() code, without the final period.
std::string ErrorText(DWORD error);
