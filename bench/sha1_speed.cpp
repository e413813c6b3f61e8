// Throughput of Sha1Update over a large buffer, for each block function this
// processor can run. Prints one line per path: "<path> <MB/s>" (MB = 10^6 bytes).
// --smoke hashes a few megabytes once: enough to show that it works.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "package/sha1.h"

namespace {

constexpr size_t kUpdateSize = 16 * 1024;

struct Workload {
  size_t total = size_t{256} << 20;  // bytes hashed per run
  int runs = 3;
};

// Best of several runs over the same data, hashing `total` bytes in kUpdateSize pieces.
double MegabytesPerSecond(const std::vector<uint8_t>& buffer, const Workload& work) {
  double best = 0;
  for (int run = 0; run < work.runs; ++run) {
    auto start = std::chrono::steady_clock::now();
    Sha1Context context;
    Sha1Init(&context);
    for (size_t done = 0; done < work.total; done += buffer.size()) {
      for (size_t at = 0; at < buffer.size(); at += kUpdateSize) {
        Sha1Update(&context, buffer.data() + at, static_cast<int32_t>(kUpdateSize));
      }
    }
    uint8_t digest[SHA1_DIGEST_SIZE];
    Sha1Final(&context, digest);
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    double rate = static_cast<double>(work.total) / seconds.count() / 1e6;
    if (rate > best) best = rate;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  Workload work;
  if (argc > 1 && std::strcmp(argv[1], "--smoke") == 0) work = {size_t{4} << 20, 1};
  // A buffer that fits in the cache, like openssl's, so both measure the hash and not memory.
  std::vector<uint8_t> buffer(1 << 20);
  for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
  if (Sha1BlocksAccelerated() != nullptr) {
    Sha1UseAccelerated(true);
    std::printf("accelerated %.0f\n", MegabytesPerSecond(buffer, work));
  }
  Sha1UseAccelerated(false);
  std::printf("portable %.0f\n", MegabytesPerSecond(buffer, work));
  return 0;
}
