// Feeds arbitrary bytes to the tree walk as a tree section (index flag,
// index length, index, data length, data) and extracts it into the in-memory
// output. Whatever the bytes, every path handed to the output must consist of
// safe names within the path limit, and the progress must come as name then
// percentage, never decreasing, never 100.
#include <cstdint>
#include <cstdlib>

#include "package/tree_walker.h"
#include "platform/memory_tree_output.h"
#include "platform/windows_name.h"

namespace {

class CheckedProgress final : public ExtractProgress {
 public:
  void OnFileName(const char16_t* name) override {
    if (awaitingPercent_ || !IsSafeFileName(name)) abort();
    awaitingPercent_ = true;
  }
  void OnPercent(int percent) override {
    if (!awaitingPercent_ || percent < last_ || percent > 99) abort();
    awaitingPercent_ = false;
    last_ = percent;
  }

 private:
  bool awaitingPercent_ = false;
  int last_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  MemoryInputFile input(data, size);

  MemoryTreeOutput output;
  // Many entries may share one small stream that inflates to megabytes.
  output.writeLimit = 64 * 1024;
  CheckedProgress progress;
  ExtractOptions options;
  options.progress = &progress;
  ExtractTree(input, 0, output, options);

  if (!output.unsafePaths.empty()) abort();
  for (const auto& [path, node] : output.nodes) {
    if (3 + path.size() > MAX_ENTRY_PATH_UNITS) abort();
  }

  MemoryTreeOutput single;
  single.writeLimit = 64 * 1024;
  single.MakeDirectory(u"");
  FindAndExtractFile(input, 0, u"a\\b", single, u"found");
  if (!single.unsafePaths.empty() || single.nodes.size() > 2) abort();
  return 0;
}
