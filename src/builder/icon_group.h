// Icons: an .ico file's images, and the icon group resource that lists them
// in a program (RT_GROUP_ICON, one RT_ICON resource per image). The .ico's
// directory entry is 16 bytes (its last field the image's file offset), the
// group's 14 (its last field the image's RT_ICON id). Builder only.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "builder/resource_directory.h"

struct IconImage {
  std::string entry;  // the first 12 bytes of its directory entry: size, colours, planes...
  std::string bytes;  // a BMP without its file header, or a PNG

  unsigned Width() const;  // 0 in the entry means 256
  unsigned Height() const;
};

class IconError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The images of the .ico file `file`. Throws IconError unless it is one with
// at least one image, every image inside it.
std::vector<IconImage> ReadIconFile(std::string_view file);

// The window's icon: the group the setup window loads (LoadIconW, 100).
inline constexpr uint16_t SETUP_ICON_GROUP = 100;

// `resources` without the icon group `group` and the images it lists, then
// with `images` as that group (language `language`), each image under the
// lowest RT_ICON id no other group uses.
void ReplaceIconGroup(std::vector<Resource>& resources, uint16_t group, uint16_t language,
                      const std::vector<IconImage>& images);

// The images of icon group `group` in `resources`; empty when there is no
// such group. Throws IconError when the group names images that are missing
// or is cut short.
std::vector<IconImage> IconGroupImages(const std::vector<Resource>& resources, uint16_t group);
