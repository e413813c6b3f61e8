// How much room an install needs on its target's volume, and the words for
// it. Portable: the stub feeds in what Windows says about the volume and the
// files already there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Adds up the files of a tree in the order they are written. Each file is
// written beside the file it replaces and renamed over it, so at the moment
// file k is written the volume holds the new files before it, the old files
// from it on, and file k twice; the peak of that is what must be free.
// Sizes are rounded up to whole clusters, as the file system allocates them.
class SpaceNeed {
 public:
  explicit SpaceNeed(uint64_t clusterBytes) : cluster_(clusterBytes == 0 ? 1 : clusterBytes) {}
  // One file: `newBytes` written over a file of `oldBytes` (0 when none).
  void Add(uint64_t newBytes, uint64_t oldBytes);
  // The most the install takes from the volume's free space at any moment.
  uint64_t Peak() const { return peak_; }

 private:
  // `bytes` rounded up to whole clusters, capped beyond what any volume holds.
  int64_t Clusters(uint64_t bytes) const;

  uint64_t cluster_;
  int64_t change_ = 0;  // what the files so far took (or freed, below zero)
  uint64_t peak_ = 0;
};

// "512 bytes", "12.3 KB", "4.0 MB", "1.2 GB" (units of 1024, one decimal,
// rounded up: a need is never shown smaller than it is).
std::u16string FormatByteCount(uint64_t bytes);

// The refusal of a target whose volume cannot hold the install.
std::u16string NotEnoughSpaceText(std::u16string_view folder, uint64_t needed, uint64_t free);
