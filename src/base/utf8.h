// The system's UTF-8 and UTF-16 conversions, over one decoder of UTF-8
// sequences. Two readings of the same bytes:
//
// - The stub's (Utf8ToWide): one UTF-16 unit per decoded value, no surrogate
//   pairs, its low 16 bits kept; ill-formed sequences are dropped, overlong
//   forms are not refused. Scripts and names in a package are read this way.
// - The strict one (DecodeUtf8CodePoint, FindInvalidUtf8): well-formed UTF-8
//   only, as the builder and the linter demand it of what goes into a package.
//
// All forms take sized output and never write past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// One sequence read from the front of `available` (> 0) bytes. `length` is
// how many bytes it takes (at least 1): a sequence cut short by the end or by
// a byte that does not continue it ends before that byte, which is left to be
// read again as a lead. `value` is 0 for such a sequence, for a stray
// continuation byte and for FE or FF; otherwise what the bits say, up to 31
// of them. `wellFormed` is true only for the shortest form of a value up to
// U+10FFFF that is not a surrogate.
struct Utf8Sequence {
  size_t length;
  uint32_t value;
  bool wellFormed;
};
Utf8Sequence ReadUtf8Sequence(const uint8_t* bytes, size_t available);

// The stub's reading of one sequence at *cursor (< end), which it advances.
uint32_t DecodeUtf8Char(const uint8_t** cursor, const uint8_t* end);

// The strict reading of one sequence: its length (1 to 4) with *codePoint
// set, or 0 when the bytes do not start a well-formed sequence (none at all
// when `available` is 0).
size_t DecodeUtf8CodePoint(const char* bytes, size_t available, char32_t* codePoint);

// Offset of the first byte that is not part of well-formed UTF-8, or
// `length` when all of it is.
size_t FindInvalidUtf8(const char* bytes, size_t length);

// Converts UTF-8 (up to its NUL or `length` bytes, whichever comes first) to
// UTF-16 in `out`, which holds `capacity` units including the terminating zero
// unit (capacity 0: nothing is written). Returns the number of units the whole
// conversion has, terminator excluded; a result >= capacity means the output
// was cut. A null input gives an empty output and 0.
size_t Utf8ToWide(char16_t* out, size_t capacity, const char* in, size_t length = SIZE_MAX);
std::u16string Utf8ToWide(std::string_view in);

// Converts UTF-16 (up to its zero unit or `length` units) to UTF-8 in `out`
// (`capacity` bytes including the NUL), each unit on its own: a surrogate
// pair becomes two three-byte sequences, as the stub's texts always did.
// Returns the full length in bytes, terminator excluded; a result >= capacity
// means the output was cut.
size_t WideToUtf8(char* out, size_t capacity, const char16_t* in, size_t length = SIZE_MAX);
std::string WideToUtf8(std::u16string_view in);

// UTF-8 of UTF-16 read as such: a surrogate pair becomes one four-byte
// sequence, and a lone surrogate U+FFFD, so that no unit can vanish and leave
// "." or ".." behind (the form of file names on POSIX systems).
std::string Utf16ToUtf8(std::u16string_view text);

// The parts one after the other: one allocation, and at each caller one
// call instead of a chain of temporaries (the stub's size counts).
std::u16string Concat(std::initializer_list<std::u16string_view> parts);
