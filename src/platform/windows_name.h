// Whether a Windows file system holds a name exactly as given. Every name
// of a package's tree obeys this rule: the builder refuses a tree that
// breaks it, and the stub's tree walk skips such a name before it reaches
// the file system. Pure text work, so that it is tested on every system.
#pragma once

#include <string_view>

enum FileNameProblem : int {
  FILE_NAME_OK = 0,
  FILE_NAME_EMPTY,
  FILE_NAME_DOT,            // "." or ".."
  FILE_NAME_SEPARATOR,      // '\', '/' or ':'
  FILE_NAME_CONTROL,        // below U+0020, or U+007F
  FILE_NAME_RESERVED_CHAR,  // * ? " < > |
  FILE_NAME_TRAILING,       // ends with '.' or ' ', which Windows strips
  FILE_NAME_DEVICE,         // CON, PRN, AUX, NUL, COM1-9, LPT1-9, any extension
};

// Checks one name (not a path).
FileNameProblem CheckFileName(std::u16string_view name);

inline bool IsSafeFileName(std::u16string_view name) { return CheckFileName(name) == FILE_NAME_OK; }
