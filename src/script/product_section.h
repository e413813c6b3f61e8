// [product]: who the installed application is, as Key=Value lines. It makes
// a setup register the application with Windows and carry an uninstaller;
// without it a setup does what it always did. Locale variants replace the
// whole section, as for every section ([product.de] gives its own lines).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/setup_script.h"

enum class ProductKey : uint8_t {
  kId,         // the stable name across versions: letters, digits, '.', '-', '_'
  kName,       // DisplayName
  kVersion,    // DisplayVersion
  kPublisher,  // Publisher
  kUrl,        // URLInfoAbout
  kIcon,       // a file of the tree, relative to the install folder
  // The uninstaller's question, "{name}" and "{folder}" filled in.
  kRemovePrompt,
  // "machine" (the default: elevated, for every user) or "user" (the
  // per-user stub: no elevation, the user's own folders and registry).
  kScope,
  kUnknown,
};

// Why a line gives nothing.
enum class ProductSkip : uint8_t {
  kNone,
  kEmptyLine,
  kNoEquals,
  kUnknownKey,
};

struct ProductLine {
  ProductKey key = ProductKey::kUnknown;
  std::string_view name;   // the key as written, blanks around it dropped
  std::string_view value;  // blanks around it dropped
};

// Splits `line` at its first "=". Keys are compared without regard to ASCII
// case. On kNone or kUnknownKey fills *out (kUnknownKey: `name` and `value`).
ProductSkip ParseProductLine(std::string_view line, ProductLine* out);

// The section's longest Id, in bytes (a registry key name is at most 255).
inline constexpr size_t kProductIdBytes = 128;
// True for a non-empty Id of at most kProductIdBytes letters, digits, '.', '-'
// and '_' (ASCII): safe as a registry key name and in every path.
bool IsValidProductId(std::string_view id);

// "user", in any letter case: the per-user scope. Anything else, the
// machine's (the linter reports a value that is neither).
bool IsPerUserScope(std::string_view scope);

// The section's values, UTF-8.
struct Product {
  bool present = false;  // the section exists (in the variant chosen)
  std::string id, name, version, publisher, url, icon, removePrompt, scope;
  // The section is there with a valid Id: what registration needs.
  bool Usable() const { return present && IsValidProductId(id); }
  bool PerUser() const { return IsPerUserScope(scope); }
};

// Reads [product.<localeName>] or [product] (FindSectionHeader). Reads the
// lines in place, as every section reader does. The last of a key counts.
Product ReadProductSection(ScriptText script, const LocaleName& localeName);

// The plain [product] of a script, read from a copy of its bytes (reading a
// section ends its lines in place): its Id and scope hold for every variant,
// since the builder chose the stub and the uninstaller by them.
Product ReadPlainProduct(const uint8_t* bytes, size_t length);

// The uninstaller's question: the section's RemovePrompt, or "Remove {name}
// from {folder}?", with the two filled in.
std::u16string RemovePromptText(const Product& product, std::u16string_view folder);

// Orders two Version texts (negative, zero or positive, as strcmp): dotted
// numbers ("2", "1.10", "1.0.3": digits and single dots) compare part by
// part as numbers of any length, a missing part counting as 0, so that 1.10
// is newer than 1.9 and 1.0 equals 1; any other text compares byte by byte,
// equal only when identical.
int CompareVersions(std::string_view a, std::string_view b);
