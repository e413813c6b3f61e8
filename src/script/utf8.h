// The system's UTF-8 conversions: one UTF-16 unit per decoded value, no
// surrogate pairs, ill-formed input dropped. All forms take sized output and
// never write past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Decodes one sequence at *cursor, reading no byte at or past `end`, and
// advances *cursor. Returns the value, or 0 for an ill-formed sequence (a
// sequence cut short by `end` is ill-formed).
uint32_t DecodeUtf8Char(const uint8_t** cursor, const uint8_t* end);

// Converts UTF-8 (up to its NUL or `length` bytes, whichever comes first) to
// UTF-16 in `out`, which holds `capacity` units including the terminating zero
// unit (capacity 0: nothing is written). Returns the number of units the whole
// conversion has, terminator excluded; a result >= capacity means the output
// was cut. A null input gives an empty output and 0.
size_t Utf8ToWide(char16_t* out, size_t capacity, const char* in, size_t length = SIZE_MAX);
std::u16string Utf8ToWide(std::string_view in);

// Converts UTF-16 (up to its zero unit or `length` units) to UTF-8 in `out`
// (`capacity` bytes including the NUL). Returns the full length in bytes,
// terminator excluded; a result >= capacity means the output was cut.
size_t WideToUtf8(char* out, size_t capacity, const char16_t* in, size_t length = SIZE_MAX);
std::string WideToUtf8(std::u16string_view in);
