#include "builder/script_lint.h"

#include <algorithm>
#include <map>

#include "base/utf8.h"
#include "builder/script_encoding.h"
#include "builder/script_lint_lines.h"
#include "builder/setup_identity.h"
#include "builder/tree_rules.h"
#include "package/package_format.h"
#include "script/folder_variables.h"
#include "script/product_section.h"

namespace {

struct Line {
  size_t number;
  std::string_view text;  // without its LF and a CR before it
};

struct Section {
  Line header;
  std::string name;     // between "[" and the first "]"
  std::string base;     // before the first "."
  std::string variant;  // after it; empty for a plain header
  bool isVariant = false;
  std::string_view tail;  // behind the bracket
  std::vector<Line> body;
};

constexpr std::string_view kKnownSections[] = {"locale",    "register", "register64", "shortcuts",
                                               "prepare",   "bin_32",   "bin_64",     "install",
                                               "uninstall", "run",      "product"};
// [locale] lines 1 to 4 go through a 1024-unit buffer, lines 5 to 7 into
// 120-unit members.
constexpr size_t kWorkingUnits = 1023;
constexpr size_t kStoredUnits = 119;
constexpr size_t kRequiredLocaleLines = 6;
constexpr size_t kPictureLine = 7;

class Linter {
 public:
  explicit Linter(const TreeFileNames* treeFiles) : treeFiles_(treeFiles) {}

  std::vector<LintFinding> Run(std::string_view script);

 private:
  void Report(size_t line, LintSeverity severity, std::string message) {
    findings_.push_back({line, severity, std::move(message)});
  }
  LintReport ReporterFor(size_t line) {
    return [this, line](LintSeverity severity, std::string message) {
      Report(line, severity, std::move(message));
    };
  }

  void SplitSections(const std::vector<Line>& lines);
  void LintEncoding(const Line& line);
  void LintHeader(const Section& section);
  void LintDuplicates();
  void LintReachability();
  void LintLocaleSection(const Section& section);
  void LintPicture(const Line& line);
  void LintTreePath(size_t line, const std::string& what, std::string_view path);
  void LintProductSection(const Section& section);
  void LintProductLine(size_t line, const ProductLine& parsed);
  void LintBody(const Section& section);
  void LintFolderNames(size_t line, std::string_view text);
  void LintPointedFiles(size_t line, const PointedFiles& files);

  const TreeFileNames* treeFiles_;
  bool hasPlainProduct_ = false;
  bool perUser_ = false;  // the plain [product] says Scope=user
  std::vector<Section> sections_;
  std::vector<LintFinding> findings_;
};

std::vector<Line> SplitLines(std::string_view script) {
  std::vector<Line> lines;
  size_t number = 1;
  while (!script.empty()) {
    const size_t lf = script.find('\n');
    std::string_view text = script.substr(0, lf);
    if (lf != std::string_view::npos && !text.empty() && text.back() == '\r') {
      text.remove_suffix(1);
    }
    lines.push_back({number++, text});
    script = lf == std::string_view::npos ? std::string_view() : script.substr(lf + 1);
  }
  return lines;
}

bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsUpperOrDigit(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// A name a system locale can give: "ll" or "ll-CC" (country letters or digits).
bool IsLocaleNameShape(std::string_view name) {
  if (name.size() < 2 || !IsLower(name[0]) || !IsLower(name[1])) return false;
  if (name.size() == 2) return true;
  if (name[2] != '-' || name.size() < 5 || name.size() > 6) return false;
  return std::all_of(name.begin() + 3, name.end(), IsUpperOrDigit);
}

bool IsKnownSection(std::string_view base) {
  return std::find(std::begin(kKnownSections), std::end(kKnownSections), base) !=
         std::end(kKnownSections);
}

std::string ToLower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

void Linter::LintEncoding(const Line& line) {
  const std::string_view text = line.text;
  if (text.find('\0') != std::string_view::npos) {
    Report(line.number, LintSeverity::kError, "NUL byte: the setup reads the line only up to it");
  }
  const size_t invalid = FindInvalidUtf8(text.data(), text.size());
  if (invalid < text.size()) {
    Report(line.number, LintSeverity::kError,
           "invalid UTF-8 at byte " + std::to_string(invalid + 1) + " of the line" + kNotUtf8Note);
    return;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    if (static_cast<uint8_t>(text[i]) >= 0xF0) {
      Report(line.number, LintSeverity::kError,
             "a character outside the Basic Multilingual Plane: the setup keeps one UTF-16 unit "
             "per character and cannot show it");
      return;
    }
  }
}

void Linter::SplitSections(const std::vector<Line>& lines) {
  Section* current = nullptr;
  for (const Line& line : lines) {
    if (line.text.empty() || line.text.front() != '[') {
      if (current != nullptr) current->body.push_back(line);
      continue;
    }
    current = nullptr;
    const size_t close = line.text.find(']');
    if (close == std::string_view::npos) {
      Report(line.number, LintSeverity::kWarning,
             "the line begins with \"[\" but has no \"]\": it is no header, yet it ends the "
             "section above");
      continue;
    }
    Section section;
    section.header = line;
    section.name = std::string(line.text.substr(1, close - 1));
    section.tail = line.text.substr(close + 1);
    const size_t dot = section.name.find('.');
    section.base = section.name.substr(0, dot);
    if (dot != std::string::npos) {
      section.isVariant = true;
      section.variant = section.name.substr(dot + 1);
    }
    sections_.push_back(std::move(section));
    current = &sections_.back();
  }
}

void Linter::LintHeader(const Section& section) {
  const size_t number = section.header.number;
  if (!IsKnownSection(section.base)) {
    std::string message = "unknown section [" + section.name + "] is never read";
    if (IsKnownSection(ToLower(section.base))) message += " (section names are case-sensitive)";
    Report(number, LintSeverity::kWarning, std::move(message));
    return;
  }
  if (section.isVariant && !IsLocaleNameShape(section.variant)) {
    Report(number, LintSeverity::kWarning,
           "[" + section.name + "] is never read: \"" + section.variant +
               "\" is not a locale name of the form ll or ll-CC (for example de or de-AT)");
  }
  if (section.tail.empty()) return;
  if (section.base == "shortcuts") {
    Report(number, LintSeverity::kWarning,
           "text behind the bracket of a [shortcuts] header, less its first byte, is read as the "
           "section's first shortcut line");
    if (section.tail.size() > 1) {
      LintPointedFiles(
          number, LintShortcutLine(section.tail.substr(1), hasPlainProduct_, ReporterFor(number)));
    }
    return;
  }
  Report(number, LintSeverity::kWarning,
         "text behind the bracket of [" + section.name + "] is ignored");
}

void Linter::LintDuplicates() {
  std::map<std::string, size_t> firstLine;
  for (const Section& section : sections_) {
    if (!IsKnownSection(section.base)) continue;
    const auto [it, inserted] = firstLine.emplace(section.name, section.header.number);
    if (!inserted) {
      Report(section.header.number, LintSeverity::kWarning,
             "[" + section.name + "] also stands on line " + std::to_string(it->second) +
                 ": only one of them is ever read");
    }
  }
}

// The locale name the setup keeps is the one under which it found a [locale]
// section, so a variant is only read where a [locale] variant of the same
// name exists.
void Linter::LintReachability() {
  std::set<std::string> localeVariants;
  bool hasPlainLocale = false;
  for (const Section& section : sections_) {
    if (section.base != "locale") continue;
    if (!section.isVariant) hasPlainLocale = true;
    if (section.isVariant && IsLocaleNameShape(section.variant)) {
      localeVariants.insert(section.variant);
    }
  }
  if (!hasPlainLocale) {
    Report(0, LintSeverity::kError,
           "no plain [locale] section: a system whose locale matches no variant has no window "
           "texts");
  }
  for (const Section& section : sections_) {
    if (!section.isVariant || section.base == "locale" || !IsKnownSection(section.base) ||
        !IsLocaleNameShape(section.variant) || localeVariants.count(section.variant) != 0) {
      continue;
    }
    std::string message = "[" + section.name + "] is never read: there is no [locale." +
                          section.variant +
                          "], and variants are read only under the locale name "
                          "a [locale] section was found with";
    if (section.variant.size() > 2 && localeVariants.count(section.variant.substr(0, 2)) != 0) {
      message += " (here " + section.variant.substr(0, 2) + ")";
    }
    Report(section.header.number, LintSeverity::kWarning, std::move(message));
  }
}

void Linter::LintPicture(const Line& line) {
  const std::string_view name = line.text;
  if (name.empty()) return;
  const size_t dot = name.rfind('.');
  const std::string_view extension =
      dot == std::string_view::npos ? std::string_view() : name.substr(dot);
  if (extension != ".png" && extension != ".jpg") {
    Report(line.number, LintSeverity::kError,
           "the picture \"" + std::string(name) +
               "\" is not shown: its extension must be exactly .png or .jpg");
  }
  LintTreePath(line.number, "the picture", name);
}

// A file the setup looks up in its tree by `path`; said to be missing only
// when the tree is known.
void Linter::LintTreePath(size_t line, const std::string& what, std::string_view path) {
  if (treeFiles_ == nullptr || treeFiles_->count(std::string(path)) != 0) return;
  std::string message = what + " \"" + std::string(path) + "\" is not in the tree";
  std::string withBackslashes(path);
  std::replace(withBackslashes.begin(), withBackslashes.end(), '/', '\\');
  for (const std::string& file : *treeFiles_) {
    if (ToLower(file) == ToLower(withBackslashes)) {
      message += " (did you mean \"" + file + "\"? paths use backslashes and exact case)";
      break;
    }
  }
  Report(line, LintSeverity::kError, std::move(message));
}

void Linter::LintLocaleSection(const Section& section) {
  const std::vector<Line>& body = section.body;
  if (body.size() < kRequiredLocaleLines) {
    Report(section.header.number, LintSeverity::kError,
           "[" + section.name + "] has " + std::to_string(body.size()) +
               " lines; it needs six: title, prompt, target folder, start caption, busy "
               "caption, file prefix");
  }
  for (size_t i = 0; i < body.size() && i < kPictureLine; ++i) {
    const size_t limit = i < 4 ? kWorkingUnits : kStoredUnits;
    const size_t units = WideUnits(body[i].text);
    if (units > limit) {
      Report(body[i].number, LintSeverity::kError,
             "[locale] line " + std::to_string(i + 1) + " is " + std::to_string(units) +
                 " UTF-16 units long; at most " + std::to_string(limit) + " fit");
    }
  }
  if (body.size() >= 3) {
    const std::string_view target = body[2].text;
    const size_t comma = target.find(',');
    if (comma != std::string_view::npos) {
      const std::string_view mode = target.substr(comma + 1);
      if (mode.empty() || (mode.front() != '0' && mode.front() != '1')) {
        Report(body[2].number, LintSeverity::kWarning,
               "the target folder line has a comma but no mode 0 or 1 after it: the text from "
               "the comma on is dropped");
      }
    }
  }
  if (body.size() >= 3) LintFolderNames(body[2].number, body[2].text);
  if (body.size() >= kPictureLine) LintPicture(body[kPictureLine - 1]);
  if (body.size() > kPictureLine) {
    Report(body[kPictureLine].number, LintSeverity::kWarning,
           "[locale] lines after the seventh are never read");
  }
}

void Linter::LintProductLine(size_t line, const ProductLine& parsed) {
  const std::string value(parsed.value);
  if (parsed.key == ProductKey::kId && !IsValidProductId(value)) {
    Report(line, LintSeverity::kError,
           "the Id \"" + value + "\" is not one: 1 to " + std::to_string(kProductIdBytes) +
               " letters, digits, '.', '-' or '_' (ASCII); the setup registers nothing");
  }
  // The uninstaller is in the tree the setup installs, though not in the
  // folder it is built from.
  if (parsed.key == ProductKey::kIcon && !value.empty() && value != UNINSTALLER_NAME) {
    LintTreePath(line, "the icon", value);
  }
  if (parsed.key == ProductKey::kScope && !IsPerUserScope(value) && ToLower(value) != "machine") {
    Report(line, LintSeverity::kError, "Scope is \"user\" or \"machine\", not \"" + value + "\"");
  }
}

void Linter::LintProductSection(const Section& section) {
  struct KeyLine {
    size_t number;
    ProductLine parsed;
  };
  std::map<ProductKey, KeyLine> last;  // the line of each key that counts
  for (const Line& line : section.body) {
    ProductLine parsed;
    switch (ParseProductLine(line.text, &parsed)) {
      case ProductSkip::kEmptyLine:
        continue;
      case ProductSkip::kNoEquals:
        Report(line.number, LintSeverity::kError,
               "[product] line without \"=\" is skipped (Key=Value)");
        continue;
      case ProductSkip::kUnknownKey:
        if (IsIdentityKey(parsed.name)) continue;  // the builder's alone
        Report(line.number, LintSeverity::kWarning,
               "unknown key \"" + std::string(parsed.name) + "\" in [product] is ignored");
        continue;
      case ProductSkip::kNone:
        break;
    }
    const auto [it, first] = last.try_emplace(parsed.key, KeyLine{line.number, parsed});
    if (!first) {
      Report(line.number, LintSeverity::kWarning,
             std::string(parsed.name) + " also stands on line " +
                 std::to_string(it->second.number) + ": the last one counts");
      it->second = {line.number, parsed};
    }
  }
  for (const auto& [key, line] : last) LintProductLine(line.number, line.parsed);

  const size_t header = section.header.number;
  if (last.count(ProductKey::kId) == 0) {
    Report(header, LintSeverity::kError,
           "[" + section.name +
               "] has no Id, the name Windows keeps the application under: the setup registers "
               "nothing");
  }
  const auto name = last.find(ProductKey::kName);
  if (name == last.end() || name->second.parsed.value.empty()) {
    Report(header, LintSeverity::kWarning,
           "[" + section.name + "] has no Name: Windows lists the application under its Id");
  }
  if (section.isVariant && !hasPlainProduct_) {
    Report(header, LintSeverity::kWarning,
           "[" + section.name +
               "] without a plain [product]: mksetup build adds the uninstaller only for a plain "
               "[product]");
  }
  if (section.isVariant || treeFiles_ == nullptr) return;
  for (const std::string& file : *treeFiles_) {
    if (SameFileName(file.substr(0, file.find('\\')), UNINSTALLER_NAME)) {
      Report(header, LintSeverity::kError,
             "the tree holds \"" + file + "\": with [product] the uninstaller is " +
                 UNINSTALLER_NAME + " at the top of the tree, and build refuses the tree");
      return;
    }
  }
}

// %NAME% folders the setup does not know stay as written, '%' and all.
void Linter::LintFolderNames(size_t line, std::string_view text) {
  for (const std::string& name : UnknownFolderVariables(text)) {
    Report(line, LintSeverity::kWarning,
           name +
               " names no folder the setup knows (names are exact, case included): it "
               "stays as written");
  }
}

// Files a line points at in the install folder, looked up in the tree (as
// Windows names files: in any letter case; a folder counts too). The setup
// writes its uninstallers itself, and a batch section may make a file, so
// a missing one is a warning.
void Linter::LintPointedFiles(size_t line, const PointedFiles& files) {
  if (treeFiles_ == nullptr) return;
  for (const auto& [what, path] : files) {
    const std::string wanted = ToLower(path);
    if (wanted == "uninstall.bat" || wanted == UNINSTALLER_NAME) continue;
    const bool found =
        std::any_of(treeFiles_->begin(), treeFiles_->end(), [&](const std::string& file) {
          const std::string name = ToLower(file);
          return name == wanted || name.rfind(wanted + "\\", 0) == 0;
        });
    if (!found) {
      Report(line, LintSeverity::kWarning,
             what + " \"" + path +
                 "\" is not in the tree: unless a batch section makes it, it points at nothing");
    }
  }
}

void Linter::LintBody(const Section& section) {
  const std::string& base = section.base;
  for (const Line& line : section.body) {
    const LintReport report = ReporterFor(line.number);
    if (base == "register" || base == "register64") {
      LintRegisterLine(line.text, report);
      // A per-user setup runs without administrator rights: HKLM refuses it.
      if (perUser_ && line.text.rfind("HKEY_LOCAL_MACHINE\\", 0) == 0) {
        Report(line.number, LintSeverity::kError,
               "a per-user setup (Scope=user) cannot write under HKEY_LOCAL_MACHINE");
      }
      if (perUser_ && line.text.rfind("HKEY_CLASSES_ROOT\\", 0) == 0) {
        Report(line.number, LintSeverity::kWarning,
               "a per-user setup (Scope=user) writes HKEY_CLASSES_ROOT lines under "
               "HKEY_CURRENT_USER\\Software\\Classes, the user's own classes");
      }
    } else if (base == "shortcuts") {
      LintPointedFiles(line.number, LintShortcutLine(line.text, hasPlainProduct_, report));
      LintFolderNames(line.number, line.text.substr(0, line.text.find('=')));
    } else if (base == "run") {
      LintPointedFiles(line.number, LintRunLine(line.text, hasPlainProduct_, report));
    } else if (base == "prepare" || base == "bin_32" || base == "bin_64" || base == "install") {
      LintBatchLine(line.text, true, report);
    } else if (base == "uninstall") {
      LintBatchLine(line.text, false, report);
    }
  }
}

std::vector<LintFinding> Linter::Run(std::string_view script) {
  const std::vector<Line> lines = SplitLines(script);
  for (const Line& line : lines) LintEncoding(line);
  SplitSections(lines);
  for (const Section& section : sections_) {
    hasPlainProduct_ = hasPlainProduct_ || (section.base == "product" && !section.isVariant);
  }
  for (const Section& section : sections_) LintHeader(section);
  LintDuplicates();
  LintReachability();
  std::string copy(script);
  perUser_ = ReadPlainProduct(reinterpret_cast<const uint8_t*>(copy.data()), copy.size()).PerUser();
  for (const Section& section : sections_) {
    if (section.base == "locale") {
      LintLocaleSection(section);
    } else if (section.base == "product") {
      LintProductSection(section);
    } else {
      LintBody(section);
    }
  }
  std::stable_sort(findings_.begin(), findings_.end(),
                   [](const LintFinding& a, const LintFinding& b) { return a.line < b.line; });
  return std::move(findings_);
}

}  // namespace

std::vector<LintFinding> LintScript(std::string_view script, const TreeFileNames* treeFiles) {
  return Linter(treeFiles).Run(script);
}
