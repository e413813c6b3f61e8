// File names on POSIX systems are bytes; the package code speaks UTF-16.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/input_file.h"

// UTF-8 of `text`, surrogate pairs joined. A lone surrogate becomes U+FFFD,
// so that no unit can vanish and leave "." or ".." behind.
std::string ToNativePath(std::u16string_view text);

// Opens a file by its native (byte string) path, exactly as a command line
// gave it. Null with errno set when it cannot be opened.
std::unique_ptr<InputFile> OpenNativeInputFile(const char* path);
