// Feeds arbitrary package tails to the package reader. Most random tails fail
// the digest, so the first input byte chooses whether the harness seals the
// package with a correct digest first, which lets the fuzzer reach the script
// header, the script length check and the script inflation.
#include <cstdint>
#include <cstring>
#include <vector>

#include "package/package_format.h"
#include "package/package_reader.h"
#include "package/sha1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  bool seal = (data[0] & 1) != 0;
  ++data;
  --size;

  static std::vector<uint8_t> file;
  file.assign(STUB_SIZE, 0);
  file.insert(file.end(), data, data + size);
  if (seal && file.size() >= SCRIPT_FLAG_OFFSET) {
    // The salt and the all-zero stub hash the same every time.
    static const Sha1Context kAfterStub = [] {
      std::vector<uint8_t> stub(STUB_SIZE, 0);
      Sha1Context c;
      Sha1Init(&c);
      Sha1Update(&c, PACKAGE_SALT, static_cast<int32_t>(PACKAGE_SALT_SIZE));
      Sha1Update(&c, stub.data(), static_cast<int32_t>(STUB_SIZE));
      return c;
    }();
    Sha1Context context = kAfterStub;
    Sha1UpdateLarge(&context, file.data() + SCRIPT_FLAG_OFFSET, file.size() - SCRIPT_FLAG_OFFSET);
    Sha1Final(&context, file.data() + PACKAGE_DIGEST_OFFSET);
  }

  MemoryInputFile input(file.data(), file.size());
  PackageInfo info;
  PackageStatus status = ReadPackageFrom(input, &info);
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
