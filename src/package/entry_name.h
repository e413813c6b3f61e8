// The rules every name in a package's index obeys. The builder refuses a tree
// that breaks them; the stub can apply the same functions before it trusts a
// name it read from a package. No exceptions, no iostreams: the stub links it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "package/package_format.h"

// The stub builds "<target>\<relative path>" in a buffer of
// MAX_ENTRY_PATH_UNITS units. The shortest target it can be given is a drive
// ("C:") and the separator behind it takes one more unit, so a relative path
// longer than this cannot be installed anywhere; the stub checks the real
// target at install time.
inline constexpr size_t SHORTEST_TARGET_PREFIX_UNITS = 3;  // "C:" + '\'
inline constexpr size_t MAX_RELATIVE_PATH_UNITS =
    MAX_ENTRY_PATH_UNITS - SHORTEST_TARGET_PREFIX_UNITS;

// Decodes the UTF-8 sequence at `bytes`. Returns its length (1 to 4) and sets
// *codePoint, or 0 when the bytes do not start a well-formed sequence: a stray
// continuation byte, an overlong form, a surrogate, a value past U+10FFFF or a
// sequence cut short by `available`.
size_t DecodeUtf8CodePoint(const char* bytes, size_t available, char32_t* codePoint);

// Offset of the first byte that is not part of well-formed UTF-8, or
// `length` when all of it is.
size_t FindInvalidUtf8(const char* bytes, size_t length);

// Decodes a name to UTF-16 into `out` (replaced). False on malformed UTF-8 and
// on code points outside the Basic Multilingual Plane: the stub keeps one unit
// per character and has no surrogate pairs.
bool DecodeEntryNameUtf8(const char* bytes, size_t length, std::u16string* out);

enum EntryNameProblem : int {
  ENTRY_NAME_OK = 0,
  ENTRY_NAME_EMPTY,
  ENTRY_NAME_DOT,            // "." or ".."
  ENTRY_NAME_SEPARATOR,      // '\', '/' or ':'
  ENTRY_NAME_CONTROL,        // below U+0020, or U+007F
  ENTRY_NAME_RESERVED_CHAR,  // * ? " < > |
  ENTRY_NAME_TRAILING,       // ends with '.' or ' ', which Windows strips
  ENTRY_NAME_DEVICE,         // CON, PRN, AUX, NUL, COM1-9, LPT1-9, any extension
};

// Checks one decoded name (not a path) against what a Windows file system
// can hold under that exact name.
EntryNameProblem CheckEntryName(std::u16string_view name);

inline bool IsSafeEntryName(std::u16string_view name) {
  return CheckEntryName(name) == ENTRY_NAME_OK;
}

// English text for the builder's messages.
const char* DescribeEntryNameProblem(EntryNameProblem problem);
