// The headers of a PE image that the builder rewrites when it gives a stub
// the setup's own resources: the section table, the alignments, SizeOfImage
// and the resource entry of the data directory. Builder only.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class PeImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PeSection {
  size_t headerAt = 0;  // file offset of its 40-byte header
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
};

struct PeImage {
  size_t optionalAt = 0;   // file offsets: the optional header,
  size_t checksumAt = 0;   // its CheckSum
  size_t directoryAt = 0;  // and its data directory
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  std::vector<PeSection> sections;  // as the table lists them
  size_t resources = 0;             // index in `sections` of the one the resource entry names
  size_t relocations = SIZE_MAX;    // ... the base relocation entry names, when there is one
};

// Reads the headers of `image`. Throws PeImageError unless it is a PE32 or
// PE32+ image whose section table lies in it, whose sections' bytes lie in it
// in ascending order, and whose resource entry names the start of a section.
PeImage ReadPeImage(std::string_view image);

// The bytes of section `index` as they lie in the file (its raw size).
std::string_view SectionBytes(std::string_view image, const PeSection& section);

// The most bytes a resource section may take in `image` when it grows into
// the zero padding behind the last section: only the base relocations may
// follow it, and they move behind it.
size_t ResourceRoom(std::string_view image, const PeImage& pe);

// `image` with `resources` as its resource section, at the same place and
// RVA, the base relocations moved behind it, SizeOfImage, the section sizes
// and the data directory fixed, the checksum cleared; as long as `image`,
// zero-padded. Throws PeImageError when it does not fit (ResourceRoom).
std::string WithResourceSection(std::string_view image, const PeImage& pe,
                                std::string_view resources);
