// Whether the target's volume can hold the tree before anything is written.
#pragma once

#include <cstdint>
#include <string>

#include "platform/input_file.h"

struct SpaceCheck {
  uint64_t needed = 0;
  uint64_t free = 0;
  bool Enough() const { return needed <= free; }
};

// What installing the tree at `treeOffset` into the existing folder `target`
// takes from its volume at most (install_space.h), and what the volume has
// free for this user. A file's size is its stored size: exact for a solid
// tree and for files stored as they are, the least it can be for a deflated
// one, so the check never refuses a target that could hold the install; the
// install itself stops if the disk fills all the same. `targetIsNew`: the
// folder was just made and holds nothing to replace. A volume or tree that
// cannot tell is taken to have room (the install finds out).
SpaceCheck MeasureSpace(InputFile& file, uint64_t treeOffset, const std::u16string& target,
                        bool targetIsNew);
