#include "builder/script_lint_lines.h"

#include <algorithm>
#include <string>
#include <utility>

#include "base/utf8.h"
#include "script/batch_file.h"
#include "script/registry_line.h"
#include "script/run_line.h"
#include "script/shortcut_line.h"

namespace {

// Lines are parsed under the shortest folder anyone can install to, so that a
// line skipped here is skipped under every folder.
constexpr std::u16string_view kShortestTargetDir = u"C:";
// The units the shortest target folder and its backslash put in front of a
// relative path.
constexpr size_t kShortestTargetPrefix = kShortestTargetDir.size() + 1;
// Batch lines are written whole, but cmd.exe reads at most 8191 characters
// of one line.
constexpr size_t kBatchLineUnits = 8191;
constexpr std::string_view kDwordPrefix = "DWORD:";

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

// The setup hands every line on as C text; the NUL itself is reported with
// the line's encoding.
std::string_view UpToNul(std::string_view line) { return line.substr(0, line.find('\0')); }

std::string TooLong(std::string_view what, size_t units, size_t limit) {
  return std::string(what) + " is " + std::to_string(units) + " UTF-16 units long; at most " +
         std::to_string(limit) + " fit: the line is skipped";
}

// --- [register] ---

struct RegistryParts {
  std::string_view root;
  std::string_view keyPath;
  std::string_view valueName;
  std::string_view value;
};

// Names the parts of a line whose shape the parser accepted (it has an "=",
// and two backslashes before it), for messages only.
RegistryParts SplitRegistryLine(std::string_view line) {
  const size_t equals = line.find('=');
  const std::string_view left = line.substr(0, equals);
  const size_t rootEnd = left.find('\\');
  const size_t nameStart = left.rfind('\\');
  return {left.substr(0, rootEnd), left.substr(rootEnd + 1, nameStart - rootEnd - 1),
          left.substr(nameStart + 1), line.substr(equals + 1)};
}

// The parser checks the key path and the value name before the value, and a
// DWORD value has no length to exceed.
std::string RegistryFieldTooLong(const RegistryParts& parts) {
  if (const size_t units = WideUnits(parts.keyPath); units > kRegistryFieldUnits) {
    return TooLong("the key path", units, kRegistryFieldUnits);
  }
  if (const size_t units = WideUnits(parts.valueName); units > kRegistryFieldUnits) {
    return TooLong("the value name", units, kRegistryFieldUnits);
  }
  return TooLong("the string value", WideUnits(parts.value), kRegistryFieldUnits);
}

void ReportRegistrySkip(RegistrySkip skip, std::string_view line, const LintReport& report) {
  std::string message;
  switch (skip) {
    case RegistrySkip::kNone:
    case RegistrySkip::kEmptyLine:
      return;
    case RegistrySkip::kNoEquals:
      message = "registry line without \"=\" is skipped";
      break;
    case RegistrySkip::kNoRootSeparator:
      message = "registry line without a backslash before \"=\" is skipped (ROOT\\KEY\\NAME=VALUE)";
      break;
    case RegistrySkip::kNothingAfterRoot:
      message = "registry line with nothing after the root key is skipped";
      break;
    case RegistrySkip::kNoKeyPath:
      message =
          "registry line without a key path between the root key and the value name is skipped";
      break;
    case RegistrySkip::kUnknownRoot:
      message = "unknown root key " + Quote(SplitRegistryLine(line).root) +
                ": the line is skipped (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
                "HKEY_LOCAL_MACHINE or HKEY_USERS)";
      break;
    case RegistrySkip::kFieldTooLong:
      message = RegistryFieldTooLong(SplitRegistryLine(line));
      break;
  }
  report(LintSeverity::kError, std::move(message));
}

// ParseHex stops quietly at the first other byte and wraps past eight digits.
void LintDwordDigits(std::string_view digits, const LintReport& report) {
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

void LintRegistryValue(const RegistryLine& parsed, std::string_view value,
                       const LintReport& report) {
  if (parsed.type == RegistryValueType::kDword) {
    LintDwordDigits(value.substr(kDwordPrefix.size()), report);
  } else if (StartsWithIgnoringCase(value, kDwordPrefix)) {
    report(LintSeverity::kWarning, "the value " + Quote(value.substr(0, kDwordPrefix.size())) +
                                       "... is stored as a string; a number needs \"DWORD:\" "
                                       "in capitals");
  }
}

// --- [shortcuts] ---

struct ShortcutParts {
  std::string_view link;
  std::string_view target;
  std::string_view description;
};

// Names the parts of a line the parser found an "=" in, for messages only.
ShortcutParts SplitShortcutLine(std::string_view line) {
  const size_t equals = line.find('=');
  const std::string_view rest = line.substr(equals + 1);
  const size_t semicolon = rest.find(';');
  const std::string_view description =
      semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
  return {line.substr(0, equals), rest.substr(0, semicolon), description};
}

// The parser checks the three fields first, then the composed target path.
std::string ShortcutFieldTooLong(const ShortcutParts& parts) {
  const std::pair<std::string_view, std::string_view> fields[] = {
      {"the shortcut file name", parts.link},
      {"the shortcut target", parts.target},
      {"the shortcut description", parts.description}};
  for (const auto& [what, text] : fields) {
    if (const size_t units = WideUnits(text); units > kShortcutFieldUnits) {
      return TooLong(what, units, kShortcutFieldUnits);
    }
  }
  return TooLong("with even the shortest target folder, \"C:\\\", in front, the target path",
                 WideUnits(parts.target) + kShortestTargetPrefix, kShortcutFieldUnits);
}

void ReportShortcutSkip(ShortcutSkip skip, std::string_view line, const LintReport& report) {
  std::string message;
  switch (skip) {
    case ShortcutSkip::kNone:
    case ShortcutSkip::kEmptyLine:
      return;
    case ShortcutSkip::kNoEquals:
      message = "shortcut line without \"=\" is skipped (LINK=TARGET;DESCRIPTION)";
      break;
    case ShortcutSkip::kFieldTooLong:
      message = ShortcutFieldTooLong(SplitShortcutLine(line));
      break;
    case ShortcutSkip::kTooLongForShell: {
      const ShortcutParts parts = SplitShortcutLine(line);
      message = "the shortcut target or file name is " +
                std::to_string(std::max(WideUnits(parts.target), WideUnits(parts.link))) +
                " UTF-16 units long; with the target folder in front it exceeds the " +
                std::to_string(kShellLinkPathUnits) +
                "-unit path limit of shortcuts, and the shortcut is skipped";
      break;
    }
  }
  report(LintSeverity::kError, std::move(message));
}

bool EndsWithLnk(std::u16string_view link) {
  if (link.size() < 4) return false;
  std::string extension;
  for (const char16_t c : link.substr(link.size() - 4)) {
    if (c >= 0x80) return false;
    extension += Lower(static_cast<char>(c));
  }
  return extension == ".lnk";
}

// --- [run] ---

void ReportRunSkip(RunSkip skip, std::string_view line, const LintReport& report) {
  std::string message;
  switch (skip) {
    case RunSkip::kNone:
      return;
    case RunSkip::kLineTooLong:
      message = TooLong("the [run] line", WideUnits(line), kRunLineUnits);
      break;
    case RunSkip::kPathTooLong:
      message = "the program path is " + std::to_string(WideUnits(line.substr(0, line.find(' ')))) +
                " UTF-16 units long and leaves no room for the target folder in front of it (" +
                std::to_string(kRunPathUnits) + " units in all): the line is skipped";
      break;
  }
  report(LintSeverity::kError, std::move(message));
}

// The parser takes everything before the first blank as the program and
// everything after the last as the one parameter; blanks are ASCII, so their
// places in `line` are theirs in the converted text too.
void LintRunPieces(std::string_view line, const RunLine& parsed, const LintReport& report) {
  if (!parsed.parameters.has_value()) return;
  const size_t firstBlank = line.find(' ');
  const size_t lastBlank = line.rfind(' ');
  if (lastBlank != firstBlank) {
    report(LintSeverity::kWarning,
           "only the text after the last blank, " + Quote(WideToUtf8(*parsed.parameters)) +
               ", is passed as the parameter; " +
               Quote(line.substr(firstBlank + 1, lastBlank - firstBlank - 1)) + " is dropped");
  } else if (parsed.parameters->empty()) {
    report(LintSeverity::kWarning, "the [run] line ends in a blank: an empty parameter is passed");
  }
}

// --- batch sections ---

bool IsExitCommand(std::string_view line) {
  size_t start = 0;
  while (start < line.size() && (line[start] == ' ' || line[start] == '\t' || line[start] == '@')) {
    ++start;
  }
  const std::string_view command = line.substr(start);
  constexpr std::string_view kExit = "exit";
  if (!StartsWithIgnoringCase(command, kExit)) return false;
  if (command.size() == kExit.size()) return true;
  const char next = command[kExit.size()];
  return next == ' ' || next == '\t' || next == '/';
}

}  // namespace

size_t WideUnits(std::string_view text) { return Utf8ToWide(nullptr, 0, text.data(), text.size()); }

void LintRegisterLine(std::string_view line, const LintReport& report) {
  line = UpToNul(line);
  RegistryLine parsed;
  const RegistrySkip skip = ParseRegistryLine(line, &parsed);
  if (skip != RegistrySkip::kNone) {
    ReportRegistrySkip(skip, line, report);
    return;
  }
  LintRegistryValue(parsed, SplitRegistryLine(line).value, report);
}

// The part of a path composed under the shortest target folder that lies
// inside it.
std::string InsideTarget(const std::u16string& path) {
  return WideToUtf8(std::u16string_view(path).substr(kShortestTargetPrefix));
}

PointedFiles LintShortcutLine(std::string_view line, bool withProduct, const LintReport& report) {
  line = UpToNul(line);
  ShortcutLine parsed;
  const ShortcutSkip skip = ParseShortcutLine(line, kShortestTargetDir, &parsed, withProduct);
  if (skip != ShortcutSkip::kNone) {
    ReportShortcutSkip(skip, line, report);
    return {};
  }
  const ShortcutParts parts = SplitShortcutLine(line);
  if (parts.link.empty()) {
    report(LintSeverity::kError, "the shortcut has no file name before \"=\"");
  } else if (!EndsWithLnk(parsed.linkPath)) {
    report(LintSeverity::kError, "the shortcut file " + Quote(parts.link) +
                                     " does not end in .lnk: Windows shows no shortcut, and the "
                                     "uninstaller never removes the file");
  }
  if (parts.target.empty()) {
    report(LintSeverity::kError, "the shortcut has no target: it would point at the target folder");
    return {};
  }
  PointedFiles files = {{"the shortcut target", InsideTarget(parsed.targetPath)}};
  if (!parsed.iconPath.empty())
    files.emplace_back("the shortcut icon", InsideTarget(parsed.iconPath));
  return files;
}

PointedFiles LintRunLine(std::string_view line, bool withProduct, const LintReport& report) {
  line = UpToNul(line);
  RunLine parsed;
  const RunSkip skip = ParseRunLine(line, kShortestTargetDir, &parsed, withProduct);
  if (skip != RunSkip::kNone) {
    ReportRunSkip(skip, line, report);
    return {};
  }
  if (parsed.file.size() == kShortestTargetPrefix) {
    report(LintSeverity::kError,
           parsed.parameters.has_value()
               ? "the [run] line begins with a blank: its program is empty, so the target folder "
                 "is opened instead"
               : "an empty [run] line opens the target folder in a shell window");
    return {};
  }
  LintRunPieces(line, parsed, report);
  // "%InstallDir%\..." in quotes is one argument for the program however
  // many blanks the folder has: the quotes mean what they say there.
  const bool quotedFolder = withProduct && line.find("\"%InstallDir%") != std::string_view::npos;
  if (line.find('"') != std::string_view::npos && !quotedFolder) {
    report(LintSeverity::kWarning,
           "double quotes have no special meaning in [run]; a blank always ends a piece");
  }
  return {{"the [run] program", InsideTarget(parsed.file)}};
}

void LintBatchLine(std::string_view line, bool hasClosingLine, const LintReport& report) {
  line = UpToNul(line);
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
  if (hasClosingLine && IsExitCommand(line)) {
    report(LintSeverity::kWarning,
           "\"exit\" ends the batch before its closing del line: the rest of the batch does "
           "not run");
  }
}
