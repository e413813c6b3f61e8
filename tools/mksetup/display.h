// Text for the terminal: paths that may hold any bytes, sizes, durations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The path as UTF-8 text with malformed bytes and control characters shown
// as \xNN escapes, so that a refused name cannot garble the terminal.
std::string DisplayPath(std::string_view path);

// The same for a text of several lines: line feeds and tabs are kept.
std::string DisplayText(std::string_view text);

// "1 byte", "512 bytes", "12.3 kB", "45.6 MB", "7.8 GB": decimal units, as file
// managers show them, the largest that keeps a whole part.
std::string FormatSize(uint64_t bytes);

// Prints "mksetup: <subject>: <message>" to stderr; no subject when empty.
void PrintError(std::string_view subject, std::string_view message);
