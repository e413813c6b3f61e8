#include "builder/pe_image.h"

#include <cstring>

#include "builder/pe_bytes.h"
#include "package/pe_signature.h"

namespace {

constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kDirectoryEntrySize = 8;
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kSecurityDirectory = 4;  // where pe_signature.h finds it
constexpr uint32_t kRelocationDirectory = 5;
// Offsets in the optional header, the same in PE32 and PE32+.
constexpr size_t kSizeOfInitializedData = 8;
constexpr size_t kSectionAlignment = 32;
constexpr size_t kFileAlignment = 36;
constexpr size_t kSizeOfImage = 56;

uint64_t AlignUp(uint64_t value, uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// The data directory follows its count of entries.
size_t DirectoryCountAt(const PeImage& pe) { return pe.directoryAt - 4; }
size_t DirectoryAt(const PeImage& pe, uint32_t index) {
  return pe.directoryAt + index * kDirectoryEntrySize;
}

void Require(bool condition, const char* why) {
  if (!condition) throw PeImageError(why);
}

bool Contains(const PeSection& section, uint32_t rva) {
  return rva >= section.virtualAddress && rva - section.virtualAddress < section.virtualSize;
}

void ReadSections(std::string_view image, PeImage& pe, size_t tableAt, size_t count) {
  Require(tableAt + count * kSectionHeaderSize <= image.size(), "its section table is cut short");
  uint64_t rawEnd = 0;
  uint64_t virtualEnd = 0;
  for (size_t i = 0; i < count; ++i) {
    PeSection section;
    section.headerAt = tableAt + i * kSectionHeaderSize;
    section.virtualSize = FieldU32(image, section.headerAt + 8);
    section.virtualAddress = FieldU32(image, section.headerAt + 12);
    section.rawSize = FieldU32(image, section.headerAt + 16);
    section.rawOffset = FieldU32(image, section.headerAt + 20);
    Require(section.virtualAddress >= virtualEnd, "its sections are not in address order");
    virtualEnd = uint64_t{section.virtualAddress} + section.virtualSize;
    if (section.rawSize != 0) {
      Require(section.rawOffset >= rawEnd && section.rawSize <= image.size() &&
                  section.rawOffset <= image.size() - section.rawSize,
              "its sections' bytes overlap or lie outside the file");
      rawEnd = uint64_t{section.rawOffset} + section.rawSize;
    }
    pe.sections.push_back(section);
  }
}

}  // namespace

PeImage ReadPeImage(std::string_view image) {
  PeSignatureFields fields;
  Require(
      FindPeSignatureFields(reinterpret_cast<const uint8_t*>(image.data()), image.size(), &fields),
      "it is not a PE32 or PE32+ image");
  PeImage pe;
  const uint32_t peAt = FieldU32(image, PE_HEADER_OFFSET_FIELD);
  pe.optionalAt = peAt + 24;
  pe.checksumAt = fields.checksumOffset;
  pe.directoryAt = fields.securityEntryOffset - kSecurityDirectory * kDirectoryEntrySize;
  pe.sectionAlignment = FieldU32(image, pe.optionalAt + kSectionAlignment);
  pe.fileAlignment = FieldU32(image, pe.optionalAt + kFileAlignment);
  Require(pe.fileAlignment != 0 && pe.sectionAlignment != 0 &&
              (pe.fileAlignment & (pe.fileAlignment - 1)) == 0 &&
              (pe.sectionAlignment & (pe.sectionAlignment - 1)) == 0,
          "its alignments are not powers of two");
  const size_t optionalSize = FieldU16(image, peAt + 20);
  Require(FieldU32(image, DirectoryCountAt(pe)) > kRelocationDirectory &&
              DirectoryAt(pe, kRelocationDirectory + 1) <= pe.optionalAt + optionalSize &&
              pe.optionalAt + optionalSize <= image.size(),
          "its data directory has no resource entry");
  ReadSections(image, pe, pe.optionalAt + optionalSize, FieldU16(image, peAt + 6));

  const uint32_t resourceRva = FieldU32(image, DirectoryAt(pe, kResourceDirectory));
  const uint32_t relocationRva = FieldU32(image, DirectoryAt(pe, kRelocationDirectory));
  pe.resources = SIZE_MAX;
  for (size_t i = 0; i < pe.sections.size(); ++i) {
    const PeSection& section = pe.sections[i];
    if (section.virtualAddress == resourceRva && section.rawSize != 0) pe.resources = i;
    if (relocationRva != 0 && Contains(section, relocationRva)) pe.relocations = i;
  }
  Require(pe.resources != SIZE_MAX, "it has no resource section");
  return pe;
}

std::string_view SectionBytes(std::string_view image, const PeSection& section) {
  return image.substr(section.rawOffset, section.rawSize);
}

namespace {

// The sections behind the resources may only be the base relocations, which
// nothing but the data directory points at: they alone may move.
const PeSection* MovableFollower(std::string_view image, const PeImage& pe) {
  const size_t followers = pe.sections.size() - pe.resources - 1;
  if (followers == 0) return nullptr;
  Require(followers == 1 && pe.relocations == pe.resources + 1,
          "sections other than the base relocations follow its resources");
  const PeSection& moved = pe.sections[pe.relocations];
  const uint32_t count = FieldU32(image, DirectoryCountAt(pe));
  for (uint32_t i = 0; i < count && DirectoryAt(pe, i) + 4 <= image.size(); ++i) {
    Require(i == kRelocationDirectory || !Contains(moved, FieldU32(image, DirectoryAt(pe, i))),
            "its base relocation section holds more than the relocations");
  }
  return &moved;
}

}  // namespace

size_t ResourceRoom(std::string_view image, const PeImage& pe) {
  const PeSection* follower = MovableFollower(image, pe);
  const uint64_t start = pe.sections[pe.resources].rawOffset;
  const uint64_t behind = follower != nullptr ? follower->rawSize : 0;
  if (start + behind > image.size()) return 0;
  return (image.size() - start - behind) / pe.fileAlignment * pe.fileAlignment;
}

std::string WithResourceSection(std::string_view image, const PeImage& pe,
                                std::string_view resources) {
  const PeSection* follower = MovableFollower(image, pe);
  const PeSection& old = pe.sections[pe.resources];
  const uint64_t oldEnd =
      follower != nullptr ? follower->rawOffset + follower->rawSize : old.rawOffset + old.rawSize;
  Require(image.find_first_not_of('\0', oldEnd) == std::string_view::npos,
          "it carries bytes behind its last section");
  if (resources.size() > ResourceRoom(image, pe)) {
    throw PeImageError("its resources would take " + std::to_string(resources.size()) +
                       " bytes; it has room for " + std::to_string(ResourceRoom(image, pe)));
  }

  std::string out(image.substr(0, old.rawOffset));
  out += resources;
  PadTo(out, pe.fileAlignment);
  const uint32_t rawSize = static_cast<uint32_t>(out.size() - old.rawOffset);
  PatchU32(out, old.headerAt + 8, static_cast<uint32_t>(resources.size()));
  PatchU32(out, old.headerAt + 16, rawSize);
  PatchU32(out, DirectoryAt(pe, kResourceDirectory) + 4, static_cast<uint32_t>(resources.size()));
  const size_t initialized = pe.optionalAt + kSizeOfInitializedData;
  PatchU32(out, initialized, FieldU32(out, initialized) + rawSize - old.rawSize);
  uint64_t imageEnd = uint64_t{old.virtualAddress} + resources.size();
  if (follower != nullptr) {
    const uint32_t address = static_cast<uint32_t>(AlignUp(imageEnd, pe.sectionAlignment));
    PatchU32(out, follower->headerAt + 12, address);
    PatchU32(out, follower->headerAt + 20, static_cast<uint32_t>(out.size()));
    const size_t entry = DirectoryAt(pe, kRelocationDirectory);
    PatchU32(out, entry, FieldU32(out, entry) - follower->virtualAddress + address);
    out += SectionBytes(image, *follower);
    imageEnd = uint64_t{address} + follower->virtualSize;
  }
  PatchU32(out, pe.optionalAt + kSizeOfImage,
           static_cast<uint32_t>(AlignUp(imageEnd, pe.sectionAlignment)));
  // The old checksum no longer holds; 0 says there is none, and the package
  // writer clears it anyway so that signing can set it.
  PatchU32(out, pe.checksumAt, 0);
  out.resize(image.size(), '\0');
  return out;
}
