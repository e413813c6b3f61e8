// One [register] line: ROOT\KEY PATH\VALUE NAME=VALUE, split into where the
// value goes and what it is. The Windows layer only opens the key and sets
// the value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// In the order the root names are compared.
enum class RegistryRoot : uint8_t { kClassesRoot, kCurrentUser, kLocalMachine, kUsers };

enum class RegistryValueType : uint8_t { kString, kDword };

// Why a line writes nothing.
enum class RegistrySkip : uint8_t {
  kNone,
  kEmptyLine,
  kNoEquals,
  kNoRootSeparator,  // no backslash before "="
  kNothingAfterRoot,
  kNoKeyPath,     // ROOT\NAME=VALUE
  kUnknownRoot,   // names are exact and case-sensitive: no HKLM
  kFieldTooLong,  // key path, value name or string value over kRegistryFieldUnits
};

// The longest key path, value name and string value, in UTF-16 units.
inline constexpr size_t kRegistryFieldUnits = 511;

struct RegistryLine {
  RegistryRoot root = RegistryRoot::kClassesRoot;
  std::u16string keyPath;    // may hold backslashes for nested keys
  std::u16string valueName;  // empty: the key's default value
  RegistryValueType type = RegistryValueType::kString;
  std::u16string text;  // kString: stored with its terminating zero unit
  uint32_t number = 0;  // kDword

  // Bytes of the value's data: the DWORD, or the text with its zero unit.
  uint32_t DataSize() const {
    return type == RegistryValueType::kDword
               ? 4u
               : static_cast<uint32_t>((text.size() + 1) * sizeof(char16_t));
  }
};

// Splits `line` (its text ends at its first NUL, if any) at its first "=",
// then the left part at its first and last backslash. A value that begins with
// "DWORD:" in capitals is a number read by ParseHex; any other value, the empty
// one included, is a string. On success returns kNone and fills *out;
// otherwise returns the reason the line is skipped and leaves *out alone.
RegistrySkip ParseRegistryLine(std::string_view line, RegistryLine* out);

// The root of an exact name (HKEY_CURRENT_USER ...); false for any other.
bool FindRegistryRoot(std::string_view name, RegistryRoot* root);
// The root's name as a line gives it.
std::string_view RegistryRootName(RegistryRoot root);

// Reads hexadecimal digits from the start of `digits` up to the first other
// byte or its end, in wrapping 32-bit arithmetic: no sign, no "0x", no blanks,
// and only the last eight digits count. No digits give 0.
uint32_t ParseHex(std::string_view digits);

// The per-user scope's HKEY_CLASSES_ROOT: the user's own classes, where a
// setup without administrator rights writes (the merged view would send a
// key the machine has to HKEY_LOCAL_MACHINE and refuse it). The key that
// holds them stays when the uninstaller empties keys.
inline constexpr std::u16string_view kUserClassesKey = u"Software\\Classes";
// A HKEY_CLASSES_ROOT line moved to HKEY_CURRENT_USER\Software\Classes: true
// when it was one.
bool MoveToUserClasses(RegistryLine* line);
