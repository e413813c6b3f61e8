#include "script/script_lint_lines.h"

#include <string>

#include "script/utf8.h"

namespace {

// Fields of registry and shortcut lines go through 512-unit buffers.
constexpr size_t kFieldUnits = 511;
// [run] lines go through 1024-unit buffers.
constexpr size_t kLongLineUnits = 1023;
// Batch lines are written whole, but cmd.exe reads at most 8191 characters
// of one line.
constexpr size_t kBatchLineUnits = 8191;
// The shortest target folder is a drive ("C:"), and a backslash follows it.
constexpr size_t kShortestTargetPrefix = 3;
// A shortcut's target path goes through a MAX_PATH buffer.
constexpr size_t kShortcutPathUnits = 259;
// A [run] program's path goes through a 512-unit buffer.
constexpr size_t kRunPathUnits = 511;

constexpr std::string_view kRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                       "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
constexpr std::string_view kShellFolderMarker = "set_system_directory_here";

std::string Quote(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text);
  quoted += '"';
  return quoted;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  }
  return true;
}

void CheckFieldLength(std::string_view what, std::string_view field, const LintReport& report) {
  const size_t units = WideUnits(field);
  if (units > kFieldUnits) {
    report(LintSeverity::kError, std::string(what) + " is " + std::to_string(units) +
                                     " UTF-16 units long; at most " + std::to_string(kFieldUnits) +
                                     " fit");
  }
}

void LintDwordValue(std::string_view digits, const LintReport& report) {
  size_t count = 0;
  while (count < digits.size() && IsHexDigit(digits[count])) ++count;
  if (count < digits.size()) {
    report(LintSeverity::kError, "the DWORD value " + Quote(digits) +
                                     " is not a hexadecimal number (no prefix, no "
                                     "blanks): the number stops at " +
                                     Quote(digits.substr(count, 1)));
  } else if (count == 0) {
    report(LintSeverity::kError, "DWORD: without digits stores 0");
  }
  size_t significant = count;
  for (size_t i = 0; i < count && digits[i] == '0'; ++i) --significant;
  if (significant > 8) {
    report(LintSeverity::kWarning,
           "the DWORD value has more than eight hexadecimal digits; only the last eight count");
  }
}

}  // namespace

size_t WideUnits(std::string_view text) { return Utf8ToWide(nullptr, 0, text.data(), text.size()); }

void LintRegisterLine(std::string_view line, const LintReport& report) {
  if (line.empty()) return;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    report(LintSeverity::kError, "registry line without \"=\" is skipped");
    return;
  }
  const std::string_view left = line.substr(0, equals);
  const std::string_view value = line.substr(equals + 1);
  const size_t rootEnd = left.find('\\');
  if (rootEnd == std::string_view::npos) {
    report(LintSeverity::kError,
           "registry line without a backslash before \"=\" is skipped (ROOT\\KEY\\NAME=VALUE)");
    return;
  }
  const std::string_view root = left.substr(0, rootEnd);
  const std::string_view rest = left.substr(rootEnd + 1);
  if (rest.empty()) {
    report(LintSeverity::kError, "registry line with nothing after the root key is skipped");
    return;
  }
  const size_t nameStart = rest.rfind('\\');
  if (nameStart == std::string_view::npos) {
    report(LintSeverity::kError,
           "registry line without a key path between the root key and the value name is skipped");
    return;
  }
  bool knownRoot = false;
  for (std::string_view known : kRoots) knownRoot = knownRoot || root == known;
  if (!knownRoot) {
    report(LintSeverity::kError, "unknown root key " + Quote(root) +
                                     ": the line is skipped (HKEY_CLASSES_ROOT, "
                                     "HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_USERS)");
    return;
  }
  CheckFieldLength("the key path", rest.substr(0, nameStart), report);
  CheckFieldLength("the value name", rest.substr(nameStart + 1), report);
  if (value.starts_with("DWORD:")) {
    LintDwordValue(value.substr(6), report);
    return;
  }
  if (StartsWithIgnoringCase(value, "DWORD:")) {
    report(LintSeverity::kWarning, "the value " + Quote(value.substr(0, 6)) +
                                       "... is stored as a string; a number needs \"DWORD:\" "
                                       "in capitals");
  }
  CheckFieldLength("the string value", value, report);
}

void LintShortcutLine(std::string_view line, const LintReport& report) {
  if (line.empty()) return;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    report(LintSeverity::kError,
           "shortcut line without \"=\" is skipped (LINK=TARGET;DESCRIPTION)");
    return;
  }
  const std::string_view link = line.substr(0, equals);
  std::string_view target = line.substr(equals + 1);
  std::string_view description;
  if (const size_t semicolon = target.find(';'); semicolon != std::string_view::npos) {
    description = target.substr(semicolon + 1);
    target = target.substr(0, semicolon);
  }
  if (link.empty()) report(LintSeverity::kError, "the shortcut has no file name before \"=\"");
  if (target.empty()) {
    report(LintSeverity::kError, "the shortcut has no target: it would point at the target folder");
  }
  CheckFieldLength("the shortcut file name", link, report);
  CheckFieldLength("the shortcut target", target, report);
  CheckFieldLength("the shortcut description", description, report);
  const size_t targetUnits = WideUnits(target);
  if (targetUnits <= kFieldUnits && targetUnits + kShortestTargetPrefix > kShortcutPathUnits) {
    report(LintSeverity::kError, "the shortcut target is " + std::to_string(targetUnits) +
                                     " UTF-16 units long; with the target folder in front it "
                                     "exceeds the " +
                                     std::to_string(kShortcutPathUnits) + "-unit path limit");
  }
}

void LintRunLine(std::string_view line, const LintReport& report) {
  const size_t units = WideUnits(line);
  if (units > kLongLineUnits) {
    report(LintSeverity::kError, "the [run] line is " + std::to_string(units) +
                                     " UTF-16 units long; at most " +
                                     std::to_string(kLongLineUnits) + " fit");
    return;
  }
  if (line.empty()) {
    report(LintSeverity::kError, "an empty [run] line opens the target folder in a shell window");
    return;
  }
  if (line.front() == ' ') {
    report(LintSeverity::kError,
           "the [run] line begins with a blank: its program is empty, so the target folder "
           "is opened instead");
    return;
  }
  const size_t firstBlank = line.find(' ');
  const std::string_view program = line.substr(0, firstBlank);
  if (WideUnits(program) + kShortestTargetPrefix > kRunPathUnits) {
    report(LintSeverity::kError,
           "the program path leaves no room for the target folder in front "
           "of it (" +
               std::to_string(kRunPathUnits) + " units in all)");
  }
  if (firstBlank == std::string_view::npos) return;
  const size_t lastBlank = line.rfind(' ');
  if (lastBlank != firstBlank) {
    report(LintSeverity::kWarning,
           "only the text after the last blank, " + Quote(line.substr(lastBlank + 1)) +
               ", is passed as the parameter; " +
               Quote(line.substr(firstBlank + 1, lastBlank - firstBlank - 1)) + " is dropped");
  } else if (lastBlank + 1 == line.size()) {
    report(LintSeverity::kWarning, "the [run] line ends in a blank: an empty parameter is passed");
  }
  if (line.find('"') != std::string_view::npos) {
    report(LintSeverity::kWarning,
           "double quotes have no special meaning in [run]; a blank always ends a piece");
  }
}

void LintBatchLine(std::string_view line, bool waitedFor, const LintReport& report) {
  const size_t units = WideUnits(line);
  if (units > kBatchLineUnits) {
    report(LintSeverity::kError, "the batch line is " + std::to_string(units) +
                                     " UTF-16 units long; cmd.exe reads at most " +
                                     std::to_string(kBatchLineUnits) + " characters of a line");
  }
  if (line != kShellFolderMarker && line.find(kShellFolderMarker) != std::string_view::npos) {
    report(LintSeverity::kWarning,
           "the shell folder marker works only as the whole line, with nothing around it; this "
           "line is copied unchanged");
  }
  if (waitedFor) {
    size_t start = 0;
    while (start < line.size() &&
           (line[start] == ' ' || line[start] == '\t' || line[start] == '@')) {
      ++start;
    }
    const std::string_view command = line.substr(start);
    if (StartsWithIgnoringCase(command, "exit") &&
        (command.size() == 4 || command[4] == ' ' || command[4] == '\t')) {
      report(LintSeverity::kError,
             "\"exit\" ends the batch before its closing del line, and the setup waits for that "
             "line forever");
    }
  }
}
