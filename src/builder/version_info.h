// The version resource (VS_VERSIONINFO) that Windows shows under a file's
// Properties > Details: a fixed part with numeric versions, then the texts of
// one string table (US English, Unicode) and the translation that names it.
// Builder only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct VersionInfo {
  std::array<uint16_t, 4> version{};  // file and product version, major first
  // Key and text, in the order written: "ProductName", "FileVersion"...
  std::vector<std::pair<std::u16string, std::u16string>> strings;

  // The text under `key`; empty when there is none.
  std::u16string Text(std::u16string_view key) const;
};

// The leading numbers of `text`, up to four separated by dots, each at most
// 65535: "1.2.3-beta" gives 1.2.3.0, "v2" 0.0.0.0.
std::array<uint16_t, 4> NumericVersion(std::string_view text);

// "1.2.3.0".
std::string VersionText(const std::array<uint16_t, 4>& version);

// UTF-8 to UTF-16 and back, with surrogate pairs where a character needs
// them, as Windows reads the texts. Ill-formed bytes become U+FFFD.
std::u16string VersionTextToUtf16(std::string_view utf8);
std::string VersionTextToUtf8(std::u16string_view utf16);

std::string EncodeVersionInfo(const VersionInfo& info);

// The fixed part and the first string table of `resource`. Throws
// ResourceError (resource_directory.h) when it is not a version resource or
// a length in it leaves its bounds.
VersionInfo DecodeVersionInfo(std::string_view resource);
