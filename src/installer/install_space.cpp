#include "installer/install_space.h"

#include <algorithm>

#include "base/utf8.h"

namespace {

// More than any volume holds. Sizes and the running change stop here, so that
// whatever a volume reports for a file (a sparse one of exabytes on Linux
// under Wine) the sums stay far inside 64 bits.
constexpr int64_t kBeyondAnyVolume = int64_t{1} << 60;

}  // namespace

int64_t SpaceNeed::Clusters(uint64_t bytes) const {
  if (bytes >= uint64_t{kBeyondAnyVolume}) return kBeyondAnyVolume;
  // Below the cap the rounding cannot wrap: it adds less than one cluster.
  const uint64_t clusters = bytes / cluster_ + (bytes % cluster_ != 0 ? 1 : 0);
  return static_cast<int64_t>(std::min(clusters * cluster_, uint64_t{kBeyondAnyVolume}));
}

void SpaceNeed::Add(uint64_t newBytes, uint64_t oldBytes) {
  const int64_t written = Clusters(newBytes);
  const int64_t atPeak = change_ + written;
  if (atPeak > 0 && static_cast<uint64_t>(atPeak) > peak_) peak_ = static_cast<uint64_t>(atPeak);
  change_ = std::clamp(atPeak - Clusters(oldBytes), -kBeyondAnyVolume, kBeyondAnyVolume);
}

std::u16string FormatByteCount(uint64_t bytes) {
  static constexpr const char16_t* kUnits[] = {u"KB", u"MB", u"GB", u"TB"};
  if (bytes < 1024) return Concat({Utf8ToWide(std::to_string(bytes)), u" bytes"});
  int unit = 0;
  uint64_t scale = 1024;
  while (unit < 3 && bytes / scale >= 1024) {
    scale *= 1024;
    ++unit;
  }
  // Tenths of the unit, rounded up.
  const uint64_t tenths = bytes / scale * 10 + ((bytes % scale) * 10 + scale - 1) / scale;
  return Concat({Utf8ToWide(std::to_string(tenths / 10)), u".",
                 Utf8ToWide(std::to_string(tenths % 10)), u" ", kUnits[unit]});
}

std::u16string NotEnoughSpaceText(std::u16string_view folder, uint64_t needed, uint64_t free) {
  return Concat({u"There is not enough free space for the installation in ", folder, u": it needs ",
                 FormatByteCount(needed), u" and ", FormatByteCount(free),
                 u" are free. Please choose another folder."});
}
