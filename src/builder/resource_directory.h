// The resource section of a PE image as a flat list: each resource by its
// type, its name and its language, with its bytes. Reading it checks every
// offset against the section; writing lays out a fresh directory. Builder
// only; the stub reads its resources through Windows.
//
// The section holds three levels of directories (type, name, language), each
// a 16-byte table followed by 8-byte entries: the entry's name (an id, or with
// the high bit the section offset of a counted UTF-16 string) and its target
// (with the high bit the section offset of the next directory, else of a
// 16-byte data entry: the data's RVA, its size, its code page, 0).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A type or a name: an integer id, or a string when `text` is not empty.
struct ResourceKey {
  uint16_t id = 0;
  std::u16string text;
  friend bool operator==(const ResourceKey&, const ResourceKey&) = default;
};

struct Resource {
  ResourceKey type;
  ResourceKey name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  std::string data;
};

inline constexpr uint16_t RESOURCE_TYPE_ICON = 3;
inline constexpr uint16_t RESOURCE_TYPE_GROUP_ICON = 14;
inline constexpr uint16_t RESOURCE_TYPE_VERSION = 16;

// Thrown for a resource section whose offsets leave it, or whose directories
// nest deeper than three levels.
class ResourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The resources of `section`, the section's bytes as loaded at `sectionRva`
// (the data entries hold RVAs), in directory order. Throws ResourceError.
std::vector<Resource> ReadResources(std::string_view section, uint32_t sectionRva);

// A section at `sectionRva` holding `resources`, in the order Windows'
// lookup needs: named entries before ids, each kind ascending. Its size is
// not aligned.
std::string WriteResources(std::vector<Resource> resources, uint32_t sectionRva);
