#include "builder/upper_case.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

// Code points first..last (every `step`-th one) map to code point + delta.
struct UpperCaseRun {
  uint16_t first;
  uint16_t last;
  uint16_t delta;
  uint8_t step;
};

constexpr UpperCaseRun kRuns[] = {
#include "builder/upper_case_table.inc"
};

}  // namespace

char16_t ToUpperCase(char16_t c) {
  // The last run starting at or before c is the only one that can hold it.
  const auto after =
      std::upper_bound(std::begin(kRuns), std::end(kRuns), c,
                       [](char16_t unit, const UpperCaseRun& run) { return unit < run.first; });
  if (after == std::begin(kRuns)) return c;
  const UpperCaseRun& run = *std::prev(after);
  if (c > run.last || (c - run.first) % run.step != 0) return c;
  return static_cast<char16_t>(c + run.delta);
}
