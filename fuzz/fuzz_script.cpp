// The script reader over arbitrary bytes: the locale lookup, every section
// lookup and body walk (which change the text in place, so later lookups see
// NUL separators), locale-style line reading, both conversions and the linter.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "base/utf8.h"
#include "builder/script_lint.h"
#include "script/batch_file.h"
#include "script/registry_line.h"
#include "script/run_line.h"
#include "script/setup_script.h"
#include "script/shortcut_line.h"

namespace {

constexpr const char* kSections[] = {"register", "shortcuts", "prepare", "bin_32", "bin_64",
                                     "install",  "uninstall", "run",     "locale"};

// Converts a line both ways into small buffers, so that truncation is hit.
void Convert(const char* line, size_t length) {
  char16_t wide[16];
  const size_t units = Utf8ToWide(wide, sizeof wide / sizeof wide[0], line, length);
  if (units < 16 && wide[units] != 0) std::abort();
  char narrow[8];
  const size_t bytes = WideToUtf8(narrow, sizeof narrow, wide, SIZE_MAX);
  if (bytes < sizeof narrow && narrow[bytes] != 0) std::abort();
  if (std::strlen(narrow) >= sizeof narrow) std::abort();
}

std::string Latin1(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) bytes += static_cast<char>(unit);
  return bytes;
}

// Each line through the parser its section's actions use, under a long
// install folder so that the composed paths reach their limits.
void ParseLine(const char* section, const char* line, size_t length) {
  const std::string_view text(line, length);
  const std::u16string targetDir(500, u'd');
  if (std::strcmp(section, "register") == 0) {
    RegistryLine value;
    if (ParseRegistryLine(text, &value) == RegistrySkip::kNone &&
        (value.keyPath.size() > kRegistryFieldUnits || value.text.size() > kRegistryFieldUnits)) {
      std::abort();
    }
  } else if (std::strcmp(section, "shortcuts") == 0) {
    ShortcutLine shortcut;
    if (ParseShortcutLine(text, targetDir, &shortcut) == ShortcutSkip::kNone &&
        shortcut.targetPath.size() > kShortcutFieldUnits) {
      std::abort();
    }
  } else if (std::strcmp(section, "run") == 0) {
    RunLine run;
    if (ParseRunLine(text, targetDir, &run) == RunSkip::kNone && run.file.size() > kRunPathUnits) {
      std::abort();
    }
  } else {
    std::string batch;
    ShellFolders folders;
    folders.keyOpened = true;
    AppendBatchLine(&batch, text, folders, Latin1);
  }
}

void ReadScript(const uint8_t* data, size_t size, const char* systemLocale) {
  // Exactly the input's size on the heap: any read past it is caught.
  auto* bytes = static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
  if (size != 0) std::memcpy(bytes, data, size);
  const ScriptText script{bytes, size};
  LocaleName locale{systemLocale};
  if (uint8_t* body = FindLocaleSection(script, &locale)) {
    LineReader reader(script, body);
    char* line;
    size_t length;
    for (int i = 0; i < 7 && reader.Next(&line, &length); ++i) Convert(line, length);
  }
  for (const char* name : kSections) {
    WalkBody(script, FindSection(script, locale, name), [name](char* line, size_t length) {
      if (line[length] != 0) std::abort();
      Convert(line, length);
      ParseLine(name, line, length);
    });
    if (uint8_t* afterBracket = FindSectionHeader(script, locale, name)) {
      if (afterBracket > script.end()) std::abort();
    }
  }
  std::free(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReadScript(data, size, "de-DE");
  ReadScript(data, size, "");
  // The conversions over the raw bytes, unterminated.
  auto* copy = static_cast<char*>(std::malloc(size == 0 ? 1 : size));
  if (size != 0) std::memcpy(copy, data, size);
  const std::u16string wide = Utf8ToWide(std::string_view(copy, size));
  const size_t units = size / 2;
  auto* raw = static_cast<char16_t*>(std::malloc(units == 0 ? 2 : units * 2));
  if (units != 0) std::memcpy(raw, data, units * 2);
  char out[32];
  WideToUtf8(out, sizeof out, raw, units);
  const std::string narrow = WideToUtf8(std::u16string_view(raw, units));
  std::free(raw);
  const TreeFileNames tree = {"pic\\logo.png"};
  LintScript(std::string_view(copy, size), &tree);
  std::free(copy);
  return 0;
}
