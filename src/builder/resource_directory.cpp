#include "builder/resource_directory.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "builder/pe_bytes.h"

namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr size_t kTableSize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr int kLanguageLevel = 2;
// Far more than any program carries: a section whose directories share
// subdirectories cannot make the reader list billions of resources.
constexpr size_t kMaxResources = 4096;
// Resource data starts on this boundary, as resource compilers place it.
constexpr size_t kDataAlignment = 8;

class SectionReader {
 public:
  SectionReader(std::string_view section, uint32_t rva) : section_(section), rva_(rva) {}

  std::vector<Resource> Read() {
    Resource path;
    Directory(0, 0, path);
    return std::move(resources_);
  }

 private:
  void Need(uint64_t at, uint64_t size) const {
    if (at > section_.size() || size > section_.size() - at) {
      throw ResourceError("an offset in the resource section points outside it");
    }
  }

  ResourceKey Key(uint32_t field) const {
    ResourceKey key;
    if ((field & kHighBit) == 0) {
      if (field > 0xFFFF) throw ResourceError("a resource id is larger than 65535");
      key.id = static_cast<uint16_t>(field);
      return key;
    }
    const uint32_t at = field & ~kHighBit;
    Need(at, 2);
    const uint16_t length = FieldU16(section_, at);
    Need(at + 2, uint64_t{length} * 2);
    for (uint16_t i = 0; i < length; ++i) {
      key.text.push_back(static_cast<char16_t>(FieldU16(section_, at + 2 + 2 * size_t{i})));
    }
    if (key.text.empty()) throw ResourceError("a resource name is empty");
    return key;
  }

  void Directory(uint32_t at, int level, Resource& path) {
    Need(at, kTableSize);
    const size_t count = size_t{FieldU16(section_, at + 12)} + FieldU16(section_, at + 14);
    Need(at + kTableSize, count * kEntrySize);
    for (size_t i = 0; i < count; ++i) {
      const size_t entry = at + kTableSize + i * kEntrySize;
      const ResourceKey key = Key(FieldU32(section_, entry));
      const uint32_t target = FieldU32(section_, entry + 4);
      if (level == 0) path.type = key;
      if (level == 1) path.name = key;
      if (level == kLanguageLevel) {
        if (!key.text.empty()) throw ResourceError("a resource language is a name");
        path.language = key.id;
      }
      if (((target & kHighBit) != 0) != (level < kLanguageLevel)) {
        throw ResourceError("the resource directories are not three levels deep");
      }
      if (level < kLanguageLevel) {
        Directory(target & ~kHighBit, level + 1, path);
      } else {
        Data(target, path);
      }
    }
  }

  void Data(uint32_t at, Resource& path) {
    Need(at, kDataEntrySize);
    const uint32_t rva = FieldU32(section_, at);
    const uint32_t size = FieldU32(section_, at + 4);
    if (rva < rva_) throw ResourceError("resource data lies outside the resource section");
    Need(rva - rva_, size);
    if (resources_.size() == kMaxResources) throw ResourceError("too many resources");
    path.codePage = FieldU32(section_, at + 8);
    path.data.assign(section_.substr(rva - rva_, size));
    resources_.push_back(path);
  }

  std::string_view section_;
  uint32_t rva_;
  std::vector<Resource> resources_;
};

// Named entries first, by their text; then ids, ascending.
bool KeyBefore(const ResourceKey& a, const ResourceKey& b) {
  return std::make_tuple(a.text.empty(), a.text, a.id) <
         std::make_tuple(b.text.empty(), b.text, b.id);
}

void PutTable(std::string& out, const std::vector<ResourceKey>& keys) {
  const auto named = std::count_if(keys.begin(), keys.end(),
                                   [](const ResourceKey& key) { return !key.text.empty(); });
  PutU32(out, 0);  // characteristics
  PutU32(out, 0);  // time stamp: none, so that the same resources give the same bytes
  PutU32(out, 0);  // version
  PutU16(out, static_cast<uint16_t>(named));
  PutU16(out, static_cast<uint16_t>(keys.size() - named));
}

}  // namespace

std::vector<Resource> ReadResources(std::string_view section, uint32_t sectionRva) {
  return SectionReader(section, sectionRva).Read();
}

std::string WriteResources(std::vector<Resource> resources, uint32_t sectionRva) {
  std::stable_sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
    if (!(a.type == b.type)) return KeyBefore(a.type, b.type);
    if (!(a.name == b.name)) return KeyBefore(a.name, b.name);
    return a.language < b.language;
  });
  // The distinct types, and the distinct names of each type, as indices of
  // their first resource.
  std::vector<size_t> types;
  std::vector<size_t> names;
  for (size_t i = 0; i < resources.size(); ++i) {
    if (i == 0 || !(resources[i].type == resources[i - 1].type)) {
      types.push_back(i);
      names.push_back(i);
    } else if (!(resources[i].name == resources[i - 1].name)) {
      names.push_back(i);
    }
  }
  const auto keysOf = [&](size_t from, size_t to, int level) {
    std::vector<ResourceKey> keys;
    for (size_t i = from; i < to; ++i) {
      if (level == 0) keys.push_back(resources[types[i]].type);
      if (level == 1) keys.push_back(resources[names[i]].name);
      if (level == 2) keys.push_back({resources[i].language, {}});
    }
    return keys;
  };
  const size_t tables = 1 + types.size() + names.size();
  const size_t entries = types.size() + names.size() + resources.size();
  const size_t dataEntries = tables * kTableSize + entries * kEntrySize;
  size_t strings = dataEntries + resources.size() * kDataEntrySize;

  // Where each name string goes, by its text.
  std::map<std::u16string, size_t> stringAt;
  for (const Resource& resource : resources) {
    for (const ResourceKey* key : {&resource.type, &resource.name}) {
      if (!key->text.empty() && stringAt.emplace(key->text, strings).second) {
        strings += 2 + 2 * key->text.size();
      }
    }
  }
  const auto keyField = [&](const ResourceKey& key) {
    return key.text.empty() ? uint32_t{key.id}
                            : static_cast<uint32_t>(stringAt.at(key.text)) | kHighBit;
  };

  std::string out;
  // Root, then one table per type, then one per name: each table's entries
  // point at the next level's tables in order.
  size_t nextTable = kTableSize + types.size() * kEntrySize;
  const auto putEntries = [&](const std::vector<ResourceKey>& keys, size_t* tableSizes) {
    for (size_t i = 0; i < keys.size(); ++i) {
      PutU32(out, keyField(keys[i]));
      PutU32(out, static_cast<uint32_t>(nextTable) | kHighBit);
      nextTable += tableSizes[i];
    }
  };
  // The size of each table after the root, in layout order.
  std::vector<size_t> typeTableSizes;
  std::vector<size_t> nameTableSizes;
  for (size_t t = 0; t < types.size(); ++t) {
    const size_t end = t + 1 < types.size() ? types[t + 1] : resources.size();
    const size_t count = static_cast<size_t>(std::count_if(
        names.begin(), names.end(), [&](size_t n) { return n >= types[t] && n < end; }));
    typeTableSizes.push_back(kTableSize + count * kEntrySize);
  }
  for (size_t n = 0; n < names.size(); ++n) {
    const size_t end = n + 1 < names.size() ? names[n + 1] : resources.size();
    nameTableSizes.push_back(kTableSize + (end - names[n]) * kEntrySize);
  }

  PutTable(out, keysOf(0, types.size(), 0));
  putEntries(keysOf(0, types.size(), 0), typeTableSizes.data());
  size_t firstName = 0;
  for (size_t t = 0; t < types.size(); ++t) {
    const size_t count = (typeTableSizes[t] - kTableSize) / kEntrySize;
    const std::vector<ResourceKey> keys = keysOf(firstName, firstName + count, 1);
    PutTable(out, keys);
    putEntries(keys, nameTableSizes.data() + firstName);
    firstName += count;
  }
  for (size_t n = 0; n < names.size(); ++n) {
    const size_t end = n + 1 < names.size() ? names[n + 1] : resources.size();
    const std::vector<ResourceKey> keys = keysOf(names[n], end, 2);
    PutTable(out, keys);
    for (size_t i = names[n]; i < end; ++i) {
      PutU32(out, resources[i].language);
      PutU32(out, static_cast<uint32_t>(dataEntries + i * kDataEntrySize));
    }
  }

  const size_t entriesAt = out.size();
  out.resize(strings, '\0');  // data entries, filled in below, and the strings
  for (const auto& [text, at] : stringAt) {
    PatchU16(out, at, static_cast<uint16_t>(text.size()));
    for (size_t i = 0; i < text.size(); ++i) PatchU16(out, at + 2 + 2 * i, text[i]);
  }
  for (size_t i = 0; i < resources.size(); ++i) {
    PadTo(out, kDataAlignment);
    const size_t entry = entriesAt + i * kDataEntrySize;
    PatchU32(out, entry, sectionRva + static_cast<uint32_t>(out.size()));
    PatchU32(out, entry + 4, static_cast<uint32_t>(resources[i].data.size()));
    PatchU32(out, entry + 8, resources[i].codePage);
    out += resources[i].data;
  }
  return out;
}
