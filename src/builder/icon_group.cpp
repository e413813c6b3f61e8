#include "builder/icon_group.h"

#include <algorithm>
#include <set>

#include "builder/pe_bytes.h"

namespace {

constexpr size_t kHeaderSize = 6;  // reserved 0, type 1 (icon), count
constexpr size_t kEntryHead = 12;  // what file entries and group entries share
constexpr size_t kFileEntrySize = 16;
constexpr size_t kGroupEntrySize = 14;
constexpr uint16_t kIconType = 1;

std::string Header(size_t count) {
  std::string out;
  PutU16(out, 0);
  PutU16(out, kIconType);
  PutU16(out, static_cast<uint16_t>(count));
  return out;
}

// The header of a directory of `entrySize`-byte entries; its count.
size_t CountOf(std::string_view bytes, size_t entrySize, const char* what) {
  if (bytes.size() < kHeaderSize || FieldU16(bytes, 0) != 0 || FieldU16(bytes, 2) != kIconType) {
    throw IconError(std::string("not ") + what);
  }
  const size_t count = FieldU16(bytes, 4);
  if (count * entrySize > bytes.size() - kHeaderSize) {
    throw IconError(std::string(what) + " cut short");
  }
  return count;
}

const Resource* Find(const std::vector<Resource>& resources, uint16_t type, uint16_t id) {
  for (const Resource& resource : resources) {
    if (resource.type.text.empty() && resource.type.id == type && resource.name.text.empty() &&
        resource.name.id == id) {
      return &resource;
    }
  }
  return nullptr;
}

// The RT_ICON ids that group `group` lists (none when there is no group).
std::vector<uint16_t> GroupIds(const Resource* group) {
  std::vector<uint16_t> ids;
  if (group == nullptr) return ids;
  const size_t count = CountOf(group->data, kGroupEntrySize, "an icon group");
  for (size_t i = 0; i < count; ++i) {
    ids.push_back(FieldU16(group->data, kHeaderSize + i * kGroupEntrySize + kEntryHead));
  }
  return ids;
}

}  // namespace

unsigned IconImage::Width() const { return entry[0] == 0 ? 256u : uint8_t(entry[0]); }
unsigned IconImage::Height() const { return entry[1] == 0 ? 256u : uint8_t(entry[1]); }

std::vector<IconImage> ReadIconFile(std::string_view file) {
  const size_t count = CountOf(file, kFileEntrySize, "an icon file (.ico)");
  if (count == 0) throw IconError("the icon file holds no image");
  std::vector<IconImage> images;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = kHeaderSize + i * kFileEntrySize;
    const uint32_t size = FieldU32(file, entry + 8);
    const uint32_t offset = FieldU32(file, entry + 12);
    if (size == 0 || offset > file.size() || size > file.size() - offset) {
      throw IconError("image " + std::to_string(i + 1) + " of the icon file lies outside it");
    }
    images.push_back(
        {std::string(file.substr(entry, kEntryHead)), std::string(file.substr(offset, size))});
  }
  return images;
}

void ReplaceIconGroup(std::vector<Resource>& resources, uint16_t group, uint16_t language,
                      const std::vector<IconImage>& images) {
  const std::vector<uint16_t> old = GroupIds(Find(resources, RESOURCE_TYPE_GROUP_ICON, group));
  std::erase_if(resources, [&](const Resource& resource) {
    if (!resource.type.text.empty() || !resource.name.text.empty()) return false;
    return (resource.type.id == RESOURCE_TYPE_GROUP_ICON && resource.name.id == group) ||
           (resource.type.id == RESOURCE_TYPE_ICON &&
            std::find(old.begin(), old.end(), resource.name.id) != old.end());
  });
  std::set<uint16_t> taken;
  for (const Resource& resource : resources) {
    if (resource.type.text.empty() && resource.type.id == RESOURCE_TYPE_ICON) {
      taken.insert(resource.name.id);
    }
  }
  Resource directory{
      {RESOURCE_TYPE_GROUP_ICON, {}}, {group, {}}, language, 0, Header(images.size())};
  uint16_t id = 1;
  for (const IconImage& image : images) {
    while (taken.count(id) != 0) ++id;
    directory.data += image.entry;
    PutU16(directory.data, id);
    resources.push_back({{RESOURCE_TYPE_ICON, {}}, {id, {}}, language, 0, image.bytes});
    ++id;
  }
  resources.push_back(std::move(directory));
}

std::vector<IconImage> IconGroupImages(const std::vector<Resource>& resources, uint16_t group) {
  const Resource* directory = Find(resources, RESOURCE_TYPE_GROUP_ICON, group);
  std::vector<IconImage> images;
  const std::vector<uint16_t> ids = GroupIds(directory);
  for (size_t i = 0; i < ids.size(); ++i) {
    const Resource* image = Find(resources, RESOURCE_TYPE_ICON, ids[i]);
    if (image == nullptr) throw IconError("the icon group names a missing image");
    images.push_back(
        {directory->data.substr(kHeaderSize + i * kGroupEntrySize, kEntryHead), image->data});
  }
  return images;
}
