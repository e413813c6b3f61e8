// The install folder as the user or the command line gives it, made ready
// for the install: the rules that decide whether it can be used at all.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest install folder, in UTF-16 units: every path the install builds
// starts with it.
inline constexpr size_t kTargetDirUnits = 511;

// The command-line tail as the folder to install to: blanks after it are
// dropped (`setup.exe "C:\My Dir" `), then one pair of double quotes around
// the rest is removed (a quoted path with blanks), since no folder name can
// hold a quote. Nothing else is changed.
std::u16string TargetFromCommandLine(std::u16string_view tail);

// The folder from the target field: one trailing backslash removed (a second
// one stays). Empty when the field cannot name a folder to install to: empty,
// or longer than kTargetDirUnits (cutting it would install somewhere else).
std::u16string TargetFromField(std::u16string_view text);

// True when `path` is `folder` or lies below it (letters compared without
// regard to ASCII case, a trailing backslash of either ignored): the
// per-user scope refuses the machine's folders this way before it tries.
bool IsWithinFolder(std::u16string_view path, std::u16string_view folder);
