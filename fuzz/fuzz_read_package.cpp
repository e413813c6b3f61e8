// Feeds arbitrary package tails to the package reader. Most random tails fail
// the digest, so the first input byte chooses whether the harness seals the
// package with a correct digest first, which lets the fuzzer reach the script
// header, the script length check and the script inflation. The stub is all
// zeros: its share of the digest is hashed once, and the reader resumes from
// that state, so that a run costs what the package costs.
#include <cstdint>
#include <cstring>
#include <vector>

#include "package/package_format.h"
#include "package/package_reader.h"
#include "package/sha1.h"

namespace {

Sha1Context AfterZeroStub() {
  const std::vector<uint8_t> stub(STUB_SIZE, 0);
  Sha1Context context;
  Sha1Init(&context);
  Sha1Update(&context, PACKAGE_SALT, static_cast<int32_t>(PACKAGE_SALT_SIZE));
  Sha1Update(&context, stub.data(), static_cast<int32_t>(STUB_SIZE));
  return context;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  bool seal = (data[0] & 1) != 0;
  ++data;
  --size;

  static const Sha1Context kAfterStub = AfterZeroStub();
  // Nothing writes below STUB_SIZE, so the zeros stay from run to run.
  static std::vector<uint8_t> file(STUB_SIZE, 0);
  file.resize(STUB_SIZE);
  file.insert(file.end(), data, data + size);
  if (seal && file.size() >= SCRIPT_FLAG_OFFSET) {
    Sha1Context context = kAfterStub;
    Sha1UpdateLarge(&context, file.data() + SCRIPT_FLAG_OFFSET, file.size() - SCRIPT_FLAG_OFFSET);
    Sha1Final(&context, file.data() + PACKAGE_DIGEST_OFFSET);
  }

  MemoryInputFile input(file.data(), file.size());
  PackageInfo info;
  PackageStatus status = ReadPackageFrom(input, &info, &kAfterStub);
  if (status == PACKAGE_VERIFIED) {
    // The tree must lie inside the file, and the script must be readable.
    if (info.treeOffset > file.size()) __builtin_trap();
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < info.script.length; ++i) sink = sink ^ info.script.bytes[i];
  } else if (info.script.bytes != nullptr) {
    __builtin_trap();
  }
  return 0;
}
