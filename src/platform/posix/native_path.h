// File names on POSIX systems are bytes; the package code speaks UTF-16.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/input_file.h"

// A path as this system names files: its UTF-8 (Utf16ToUtf8, base/utf8.h).
std::string ToNativePath(std::u16string_view text);

// Opens a file by its native (byte string) path, exactly as a command line
// gave it. Null with errno set when it cannot be opened.
std::unique_ptr<InputFile> OpenNativeInputFile(const char* path);
