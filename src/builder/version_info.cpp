#include "builder/version_info.h"

#include "base/utf8.h"
#include "builder/pe_bytes.h"
#include "builder/resource_directory.h"

namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFixedStructVersion = 0x00010000;
constexpr size_t kFixedSize = 52;
constexpr uint32_t kFileFlagsMask = 0x3F;
constexpr uint32_t kOsWindowsNt = 0x00040004;  // VOS_NT_WINDOWS32
constexpr uint32_t kTypeApplication = 1;       // VFT_APP
constexpr uint16_t kBinary = 0;
constexpr uint16_t kText = 1;
// US English in Unicode: the string table's name, and its translation.
constexpr char16_t kTableName[] = u"040904B0";
constexpr uint32_t kTranslation = 0x04B00409;

// One node: length, value length, type, key, its value and its children,
// each on a 4-byte boundary. The length leaves out the padding at the end.
std::string Node(std::u16string_view key, uint16_t valueLength, uint16_t type,
                 std::string_view value, const std::vector<std::string>& children) {
  std::string out;
  PutU16(out, 0);
  PutU16(out, valueLength);
  PutU16(out, type);
  for (const char16_t c : key) PutU16(out, c);
  PutU16(out, 0);
  PadTo(out, 4);
  out += value;
  for (const std::string& child : children) {
    PadTo(out, 4);
    out += child;
  }
  PatchU16(out, 0, static_cast<uint16_t>(out.size()));
  return out;
}

std::string TextNode(std::u16string_view key, std::u16string_view text) {
  std::string value;
  for (const char16_t c : text) PutU16(value, c);
  PutU16(value, 0);
  return Node(key, static_cast<uint16_t>(text.size() + 1), kText, value, {});
}

std::string FixedPart(const std::array<uint16_t, 4>& version) {
  const uint32_t high = uint32_t{version[0]} << 16 | version[1];
  const uint32_t low = uint32_t{version[2]} << 16 | version[3];
  std::string out;
  for (const uint32_t field : {kFixedSignature, kFixedStructVersion, high, low, high, low,
                               kFileFlagsMask, 0u, kOsWindowsNt, kTypeApplication, 0u, 0u, 0u}) {
    PutU32(out, field);
  }
  return out;
}

// A node as read: where its value and its children lie.
struct ReadNode {
  std::u16string key;
  uint16_t type = 0;
  std::string_view value;     // up to its children
  std::string_view children;  // to its length
};

ReadNode ReadAt(std::string_view bytes) {
  const auto bad = [] { return ResourceError("the version resource is damaged"); };
  if (bytes.size() < 6) throw bad();
  const size_t length = FieldU16(bytes, 0);
  const size_t valueLength = FieldU16(bytes, 2);
  ReadNode node;
  node.type = FieldU16(bytes, 4);
  if (length < 6 || length > bytes.size()) throw bad();
  bytes = bytes.substr(0, length);
  size_t at = 6;
  for (;; at += 2) {
    if (at + 2 > bytes.size()) throw bad();
    const char16_t c = FieldU16(bytes, at);
    if (c == 0) break;
    node.key.push_back(c);
  }
  at = (at + 2 + 3) / 4 * 4;
  const size_t valueBytes = node.type == kText ? valueLength * 2 : valueLength;
  if (at > bytes.size() || valueBytes > bytes.size() - at) throw bad();
  node.value = bytes.substr(at, valueBytes);
  at = (at + valueBytes + 3) / 4 * 4;
  node.children = at < bytes.size() ? bytes.substr(at) : std::string_view();
  return node;
}

// Each child node of `children`, in order.
template <typename Visit>
void EachChild(std::string_view children, Visit visit) {
  while (children.size() >= 6) {
    const ReadNode child = ReadAt(children);
    visit(child);
    const size_t next = (size_t{FieldU16(children, 0)} + 3) / 4 * 4;
    children = next < children.size() ? children.substr(next) : std::string_view();
  }
}

std::u16string TextOf(std::string_view value) {
  std::u16string text;
  for (size_t at = 0; at + 2 <= value.size(); at += 2) {
    const char16_t c = FieldU16(value, at);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

}  // namespace

std::u16string VersionInfo::Text(std::u16string_view key) const {
  for (const auto& [name, text] : strings) {
    if (name == key) return text;
  }
  return {};
}

std::array<uint16_t, 4> NumericVersion(std::string_view text) {
  std::array<uint16_t, 4> version{};
  size_t at = 0;
  for (size_t part = 0; part < version.size(); ++part) {
    uint32_t value = 0;
    size_t digits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && value <= 0xFFFF; ++at) {
      value = value * 10 + static_cast<uint32_t>(text[at] - '0');
      ++digits;
    }
    if (digits == 0 || value > 0xFFFF) break;
    version[part] = static_cast<uint16_t>(value);
    if (at >= text.size() || text[at] != '.') break;
    ++at;
  }
  return version;
}

std::string VersionText(const std::array<uint16_t, 4>& version) {
  return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
         std::to_string(version[2]) + "." + std::to_string(version[3]);
}

std::string EncodeVersionInfo(const VersionInfo& info) {
  std::vector<std::string> texts;
  for (const auto& [key, text] : info.strings) texts.push_back(TextNode(key, text));
  std::string translation;
  PutU32(translation, kTranslation);
  const std::string strings =
      Node(u"StringFileInfo", 0, kText, {}, {Node(kTableName, 0, kText, {}, texts)});
  const std::string variables =
      Node(u"VarFileInfo", 0, kText, {}, {Node(u"Translation", 4, kBinary, translation, {})});
  return Node(u"VS_VERSION_INFO", kFixedSize, kBinary, FixedPart(info.version),
              {strings, variables});
}

VersionInfo DecodeVersionInfo(std::string_view resource) {
  const ReadNode root = ReadAt(resource);
  if (root.key != u"VS_VERSION_INFO" || root.value.size() < kFixedSize ||
      FieldU32(root.value, 0) != kFixedSignature) {
    throw ResourceError("the version resource is damaged");
  }
  VersionInfo info;
  const uint32_t high = FieldU32(root.value, 8);
  const uint32_t low = FieldU32(root.value, 12);
  info.version = {static_cast<uint16_t>(high >> 16), static_cast<uint16_t>(high),
                  static_cast<uint16_t>(low >> 16), static_cast<uint16_t>(low)};
  bool tableRead = false;
  EachChild(root.children, [&](const ReadNode& child) {
    if (child.key != u"StringFileInfo") return;
    EachChild(child.children, [&](const ReadNode& table) {
      if (tableRead) return;
      tableRead = true;
      EachChild(table.children, [&](const ReadNode& text) {
        info.strings.emplace_back(text.key, TextOf(text.value));
      });
    });
  });
  return info;
}

std::u16string VersionTextToUtf16(std::string_view utf8) {
  std::u16string out;
  while (!utf8.empty()) {
    char32_t c = 0;
    size_t length = DecodeUtf8CodePoint(utf8.data(), utf8.size(), &c);
    if (length == 0) {
      c = 0xFFFD;
      length = 1;
    }
    utf8.remove_prefix(length);
    if (c > 0xFFFF) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::string VersionTextToUtf8(std::u16string_view utf16) {
  std::string out;
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    const bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
                      utf16[i + 1] < 0xE000;
    if (pair) c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}
