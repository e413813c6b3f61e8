// Names no entry of a package may have: each one the builder refuses and
// the stub's tree walk skips. Shared by the tests of both sides.
#pragma once

#include <string>
#include <vector>

#include "platform/windows_name.h"

struct UnsafeName {
  std::string bytes;        // as stored in an index
  FileNameProblem problem;  // of the name as the stub decodes it (Utf8ToWide)
  // What the builder says first, when it is the UTF-8 rather than the name.
  const char* encodingRefusal = nullptr;
};

inline const std::vector<UnsafeName> kUnsafeNames = {
    {"", FILE_NAME_EMPTY},
    {".", FILE_NAME_DOT},
    {"..", FILE_NAME_DOT},
    {"a\\b", FILE_NAME_SEPARATOR},
    {"a/b", FILE_NAME_SEPARATOR},
    {"/etc", FILE_NAME_SEPARATOR},
    {"c:", FILE_NAME_SEPARATOR},
    {"C:x", FILE_NAME_SEPARATOR},
    {"x\x01y", FILE_NAME_CONTROL},
    {"tab\t", FILE_NAME_CONTROL},
    {"x\x1F", FILE_NAME_CONTROL},
    {"del\x7F", FILE_NAME_CONTROL},
    {"a*", FILE_NAME_RESERVED_CHAR},
    {"a?", FILE_NAME_RESERVED_CHAR},
    {"\"q\"", FILE_NAME_RESERVED_CHAR},
    {"<a", FILE_NAME_RESERVED_CHAR},
    {"a>", FILE_NAME_RESERVED_CHAR},
    {"a|b", FILE_NAME_RESERVED_CHAR},
    {"dot.", FILE_NAME_TRAILING},
    {"blank ", FILE_NAME_TRAILING},
    {"...", FILE_NAME_TRAILING},
    {" ", FILE_NAME_TRAILING},
    {"CON", FILE_NAME_DEVICE},
    {"con.txt", FILE_NAME_DEVICE},
    {"con .tar.gz", FILE_NAME_DEVICE},
    {"Nul", FILE_NAME_DEVICE},
    {"aux.h", FILE_NAME_DEVICE},
    {"PRN", FILE_NAME_DEVICE},
    {"COM1", FILE_NAME_DEVICE},
    {"com9.log", FILE_NAME_DEVICE},
    {"Lpt1", FILE_NAME_DEVICE},
    {"LPT9.x", FILE_NAME_DEVICE},
    {"conin$", FILE_NAME_DEVICE},
    {"CONOUT$.log", FILE_NAME_DEVICE},
    {"COM\xC2\xB9", FILE_NAME_DEVICE},      // superscript one counts as a digit
    {"lpt\xC2\xB3.txt", FILE_NAME_DEVICE},  // and superscript three
    // The stub keeps one UTF-16 unit per value: U+1005C must not become '\'.
    {"\xF0\x90\x81\x9C", FILE_NAME_SEPARATOR, "Basic Multilingual Plane"},
    // An ill-formed byte dropped must not leave "..", nor an overlong '.'.
    {"\xFF..", FILE_NAME_DOT, "not valid UTF-8"},
    {".\xC0\xAE", FILE_NAME_DOT, "not valid UTF-8"},
};
