#include "builder/setup_identity.h"

#include <algorithm>

#include "builder/pe_image.h"

namespace {

constexpr uint16_t kVersionId = 1;        // VS_VERSION_INFO, as resource compilers name it
constexpr uint16_t kEnglishUs = 0x0409;   // the stub's resources' language
constexpr size_t kWorstImagePadding = 7;  // each image starts on an 8-byte boundary

bool IsVersion(const Resource& resource) {
  return resource.type.text.empty() && resource.type.id == RESOURCE_TYPE_VERSION;
}

// The language the stub's icon group has, so that the new one replaces it.
uint16_t IconLanguage(const std::vector<Resource>& resources) {
  for (const Resource& resource : resources) {
    if (resource.type.text.empty() && resource.type.id == RESOURCE_TYPE_GROUP_ICON &&
        resource.name.text.empty() && resource.name.id == SETUP_ICON_GROUP) {
      return resource.language;
    }
  }
  return kEnglishUs;
}

std::vector<Resource> WithResources(std::vector<Resource> resources,
                                    const SetupIdentity& identity) {
  if (identity.version) {
    std::erase_if(resources, IsVersion);
    resources.push_back({{RESOURCE_TYPE_VERSION, {}},
                         {kVersionId, {}},
                         kEnglishUs,
                         0,
                         EncodeVersionInfo(*identity.version)});
  }
  if (!identity.icon.empty()) {
    ReplaceIconGroup(resources, SETUP_ICON_GROUP, IconLanguage(resources), identity.icon);
  }
  return resources;
}

size_t ImageBytes(const std::vector<IconImage>& images) {
  size_t bytes = 0;
  for (const IconImage& image : images) bytes += image.bytes.size();
  return bytes;
}

// Says how many bytes of images fit: the room left with the same images
// emptied, less the padding each may need.
[[noreturn]] void RefuseIcon(const std::vector<Resource>& resources, const SetupIdentity& identity,
                             uint32_t rva, size_t room) {
  SetupIdentity emptied = identity;
  for (IconImage& image : emptied.icon) image.bytes.clear();
  const size_t rest = WriteResources(WithResources(resources, emptied), rva).size();
  const size_t padding = kWorstImagePadding * identity.icon.size();
  const size_t fits = room > rest + padding ? room - rest - padding : 0;
  throw IconError(
      "the icon is too large for the stub's padding: its " + std::to_string(identity.icon.size()) +
      " images take " + std::to_string(ImageBytes(identity.icon)) + " bytes, at most " +
      std::to_string(fits) + " fit (keep the sizes 16, 32 and 48 and a PNG-compressed 256)");
}

bool SameKey(std::string_view name, std::string_view lower) {
  return std::equal(name.begin(), name.end(), lower.begin(), lower.end(), [](char a, char b) {
    return (a >= 'A' && a <= 'Z' ? static_cast<char>(a + 32) : a) == b;
  });
}

std::u16string Wide(std::string_view text) { return VersionTextToUtf16(text); }

}  // namespace

IdentityKeys ReadIdentityKeys(std::string_view script) {
  std::string copy(script);  // section readers end lines in place
  const ScriptText text{reinterpret_cast<uint8_t*>(copy.data()), copy.size()};
  IdentityKeys keys;
  WalkBody(text, FindSection(text, LocaleName{}, "product"), [&keys](char* line, size_t length) {
    ProductLine parsed;
    if (ParseProductLine(std::string_view(line, length), &parsed) != ProductSkip::kUnknownKey) {
      return;
    }
    if (SameKey(parsed.name, "copyright")) keys.copyright = parsed.value;
    if (SameKey(parsed.name, "setupicon")) keys.setupIcon = parsed.value;
  });
  return keys;
}

bool IsIdentityKey(std::string_view name) {
  return SameKey(name, "copyright") || SameKey(name, "setupicon");
}

VersionInfo ProductVersionInfo(const Product& product, std::string_view copyright,
                               std::string_view role) {
  const std::string& name = product.name.empty() ? product.id : product.name;
  VersionInfo info;
  info.version = NumericVersion(product.version);
  const std::pair<const char16_t*, std::string> fields[] = {
      {u"CompanyName", product.publisher},
      {u"FileDescription", name + " " + std::string(role)},
      {u"FileVersion", product.version},
      {u"LegalCopyright", std::string(copyright)},
      {u"ProductName", name},
      {u"ProductVersion", product.version},
  };
  for (const auto& [key, value] : fields) {
    if (!value.empty()) info.strings.emplace_back(key, Wide(value));
  }
  return info;
}

std::string WithIdentity(std::string_view stub, const SetupIdentity& identity) {
  if (identity.Empty()) return std::string(stub);
  const PeImage pe = ReadPeImage(stub);
  const PeSection& section = pe.sections[pe.resources];
  std::vector<Resource> resources;
  try {
    resources = ReadResources(SectionBytes(stub, section), section.virtualAddress);
  } catch (const ResourceError& error) {
    throw PeImageError(error.what());
  }
  const std::string written =
      WriteResources(WithResources(resources, identity), section.virtualAddress);
  const size_t room = ResourceRoom(stub, pe);
  if (written.size() > room && !identity.icon.empty()) {
    RefuseIcon(resources, identity, section.virtualAddress, room);
  }
  return WithResourceSection(stub, pe, written);
}

SetupIdentity ReadIdentity(std::string_view stub) {
  const PeImage pe = ReadPeImage(stub);
  const PeSection& section = pe.sections[pe.resources];
  const std::vector<Resource> resources =
      ReadResources(SectionBytes(stub, section), section.virtualAddress);
  SetupIdentity identity;
  const auto version = std::find_if(resources.begin(), resources.end(), IsVersion);
  if (version != resources.end()) identity.version = DecodeVersionInfo(version->data);
  identity.icon = IconGroupImages(resources, SETUP_ICON_GROUP);
  return identity;
}
