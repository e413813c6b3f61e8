// The script file as Windows editors save it, made the UTF-8 text a package
// stores: Notepad's "UTF-8 with BOM" and "UTF-16 LE" (or BE) are read as
// the text they hold; whatever else is not UTF-8 is named for what it is.
#pragma once

#include <string>
#include <string_view>

// The UTF-8 text of the script file `bytes`: a UTF-8 byte-order mark is
// dropped, UTF-16 with its byte-order mark converted (a pair of surrogates
// to one character, which the checks then refuse as they refuse it in
// UTF-8). Other bytes come back as they are. Throws PackageError naming the
// encoding for a file in UTF-32, in UTF-16 without its mark (a first
// character of ASCII next to a NUL), or in UTF-16 that breaks off (an odd
// length, a lone surrogate).
std::string ScriptTextOfFile(std::string bytes);

// What a file whose bytes are not UTF-8 (and that has no mark of another
// encoding) most likely is, said after the place of the first such byte.
inline constexpr char kNotUtf8Note[] =
    " (the file is not UTF-8 but most likely in an 8-bit code page such as Windows-1252; save it "
    "as UTF-8)";
