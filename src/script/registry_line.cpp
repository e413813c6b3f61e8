#include "script/registry_line.h"

#include <iterator>
#include <utility>

#include "base/utf8.h"

namespace {

constexpr std::string_view kDwordPrefix = "DWORD:";

constexpr std::string_view kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                           "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Converts a field, or reports that it does not fit its 512-unit buffer.
bool ConvertField(std::string_view utf8, std::u16string* out) {
  *out = Utf8ToWide(utf8);
  return out->size() <= kRegistryFieldUnits;
}

}  // namespace

bool FindRegistryRoot(std::string_view name, RegistryRoot* root) {
  for (size_t i = 0; i < std::size(kRootNames); ++i) {
    if (name == kRootNames[i]) {
      *root = static_cast<RegistryRoot>(i);
      return true;
    }
  }
  return false;
}

std::string_view RegistryRootName(RegistryRoot root) {
  return kRootNames[static_cast<size_t>(root)];
}

uint32_t ParseHex(std::string_view digits) {
  uint32_t value = 0;
  for (char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) break;
    value = value * 16u + static_cast<uint32_t>(digit);
  }
  return value;
}

RegistrySkip ParseRegistryLine(std::string_view line, RegistryLine* out) {
  // The setup hands each line on as C text, so a NUL inside ends it.
  line = line.substr(0, line.find('\0'));
  if (line.empty()) return RegistrySkip::kEmptyLine;
  // The value is cut off first, so its own backslashes and "=" play no part.
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return RegistrySkip::kNoEquals;
  const std::string_view left = line.substr(0, equals);
  const std::string_view value = line.substr(equals + 1);
  const size_t rootEnd = left.find('\\');
  if (rootEnd == std::string_view::npos) return RegistrySkip::kNoRootSeparator;
  const std::string_view rest = left.substr(rootEnd + 1);
  if (rest.empty()) return RegistrySkip::kNothingAfterRoot;
  const size_t nameStart = rest.rfind('\\');
  if (nameStart == std::string_view::npos) return RegistrySkip::kNoKeyPath;

  RegistryLine parsed;
  if (!FindRegistryRoot(left.substr(0, rootEnd), &parsed.root)) return RegistrySkip::kUnknownRoot;
  if (!ConvertField(rest.substr(0, nameStart), &parsed.keyPath) ||
      !ConvertField(rest.substr(nameStart + 1), &parsed.valueName)) {
    return RegistrySkip::kFieldTooLong;
  }
  if (value.starts_with(kDwordPrefix)) {
    parsed.type = RegistryValueType::kDword;
    parsed.number = ParseHex(value.substr(kDwordPrefix.size()));
  } else if (!ConvertField(value, &parsed.text)) {
    return RegistrySkip::kFieldTooLong;
  }
  *out = std::move(parsed);
  return RegistrySkip::kNone;
}

bool MoveToUserClasses(RegistryLine* line) {
  if (line->root != RegistryRoot::kClassesRoot) return false;
  line->root = RegistryRoot::kCurrentUser;
  line->keyPath.insert(0, 1, u'\\').insert(0, kUserClassesKey);
  return true;
}
