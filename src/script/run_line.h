// One [run] line: PROGRAM[ ... PARAMETER], turned into the file the shell
// opens, its parameters and its working directory. The Windows layer only
// calls the shell.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Why a line starts nothing.
enum class RunSkip : uint8_t {
  kNone,
  kLineTooLong,  // over kRunLineUnits
  kPathTooLong,  // the file path over kRunPathUnits
};

inline constexpr size_t kRunLineUnits = 1023;
inline constexpr size_t kRunPathUnits = 511;

struct RunLine {
  std::u16string file;  // targetDir, a backslash, PROGRAM
  // The text after the last blank; none without a blank (the shell is given
  // null), empty when the line ends in a blank.
  std::optional<std::u16string> parameters;
  std::u16string workingDirectory;  // the file up to its last backslash ("D:\" for a root)
};

// Splits `line` (its text ends at its first NUL, if any) after conversion to
// UTF-16: PROGRAM is the text before the first blank, the parameter the text
// after the last one, and the pieces between are dropped. Tabs and quotes are
// ordinary characters. An empty line or one starting with a blank has an empty
// PROGRAM, so it opens `targetDir` itself. `withProduct` (the script has a
// plain [product]): a PROGRAM that begins with "%InstallDir%\" is the same
// path without it, and %InstallDir% in the parameter is `targetDir`. On
// success returns kNone and fills *out; otherwise returns the reason the line
// is skipped.
RunSkip ParseRunLine(std::string_view line, std::u16string_view targetDir, RunLine* out,
                     bool withProduct = false);
