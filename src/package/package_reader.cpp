#include "package/package_reader.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "package/byte_buffer.h"
#include "package/inflate.h"
#include "package/package_format.h"
#include "package/sha1.h"
#include "package/solid_stream.h"

namespace {

// How the tail is split among hash updates does not change the digest;
// 64 KB reads need far fewer calls than 4 KB ones.
constexpr size_t kHashChunk = 64 * 1024;

struct HeapBlock {
  explicit HeapBlock(size_t size) : bytes(static_cast<uint8_t*>(malloc(size ? size : 1))) {}
  ~HeapBlock() { free(bytes); }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  uint8_t* bytes;
};

enum DigestResult { DIGEST_DONE, DIGEST_TOO_SHORT, DIGEST_UNREADABLE };

// Hashes `length` bytes from the current position. False on a short read.
bool HashBytes(InputFile& file, Sha1Context* context, uint8_t* chunk, uint64_t length) {
  while (length != 0) {
    size_t want = length < kHashChunk ? static_cast<size_t>(length) : kHashChunk;
    size_t got = file.Read(chunk, want);
    if (got != want) return false;
    Sha1Update(context, chunk, static_cast<int32_t>(got));
    length -= got;
  }
  return true;
}

DigestResult DigestFile(InputFile& file, int64_t size, uint8_t computed[20], uint8_t stored[20]) {
  if (size < static_cast<int64_t>(SCRIPT_FLAG_OFFSET)) return DIGEST_TOO_SHORT;
  HeapBlock chunk(kHashChunk);
  if (chunk.bytes == nullptr) return DIGEST_UNREADABLE;

  Sha1Context context;
  Sha1Init(&context);
  Sha1Update(&context, PACKAGE_SALT, static_cast<int32_t>(PACKAGE_SALT_SIZE));
  if (!file.Seek(0) || !HashBytes(file, &context, chunk.bytes, STUB_SIZE)) {
    return DIGEST_UNREADABLE;
  }
  if (file.Read(stored, PACKAGE_DIGEST_SIZE) != PACKAGE_DIGEST_SIZE) return DIGEST_UNREADABLE;
  uint64_t tail = static_cast<uint64_t>(size) - SCRIPT_FLAG_OFFSET;
  if (!HashBytes(file, &context, chunk.bytes, tail)) return DIGEST_UNREADABLE;
  Sha1Final(&context, computed);
  return DIGEST_DONE;
}

}  // namespace

SetupScript::~SetupScript() { free(bytes); }

SetupScript::SetupScript(SetupScript&& other) noexcept
    : bytes(std::exchange(other.bytes, nullptr)), length(std::exchange(other.length, 0)) {}

SetupScript& SetupScript::operator=(SetupScript&& other) noexcept {
  if (this != &other) {
    free(bytes);
    bytes = std::exchange(other.bytes, nullptr);
    length = std::exchange(other.length, 0);
  }
  return *this;
}

bool ComputePackageDigest(InputFile& file, uint8_t computed[20], uint8_t stored[20]) {
  return DigestFile(file, file.Size(), computed, stored) == DIGEST_DONE;
}

PackageStatus ReadPackageFrom(InputFile& file, PackageInfo* info) {
  int64_t size = file.Size();
  if (size < 0) return PACKAGE_UNREADABLE;
  if (size == STUB_SIZE) return PACKAGE_NONE;

  uint8_t computed[PACKAGE_DIGEST_SIZE];
  uint8_t stored[PACKAGE_DIGEST_SIZE];
  switch (DigestFile(file, size, computed, stored)) {
    case DIGEST_TOO_SHORT:
      return PACKAGE_CORRUPTED;
    case DIGEST_UNREADABLE:
      return PACKAGE_UNREADABLE;
    case DIGEST_DONE:
      break;
  }
  if (memcmp(computed, stored, PACKAGE_DIGEST_SIZE) != 0) return PACKAGE_CORRUPTED;

  // The digest proves only that the package is the one that was built; a
  // hostile builder can still declare more script than the file holds.
  if (size < static_cast<int64_t>(SCRIPT_OFFSET)) return PACKAGE_CORRUPTED;
  uint8_t header[5];
  if (!file.Seek(SCRIPT_FLAG_OFFSET) || file.Read(header, sizeof header) != sizeof header) {
    return PACKAGE_UNREADABLE;
  }
  uint8_t flag = header[0];
  uint32_t length = DecodeU32(header + 1);
  if (length > static_cast<uint64_t>(size) - SCRIPT_OFFSET) return PACKAGE_CORRUPTED;

  SetupScript script;
  if (length != 0) {
    script.bytes = static_cast<uint8_t*>(malloc(length));
    if (script.bytes == nullptr) return PACKAGE_UNREADABLE;
    if (file.Read(script.bytes, length) != length) return PACKAGE_UNREADABLE;
  }
  script.length = length;

  if (flag != 0) {
    ByteBuffer inflated(1024);
    // A script that fails to inflate is what it inflated to.
    InflateToBuffer(script.bytes, script.length, &inflated);
    free(script.bytes);
    script.length = static_cast<uint32_t>(inflated.length);
    script.bytes = inflated.Release();
  }

  // Data stored in a way this reader does not know is refused before anything
  // is installed, never written out as a guess.
  const uint64_t treeOffset = static_cast<uint64_t>(SCRIPT_OFFSET) + length;
  if (!IsReadableTreeMethod(file, treeOffset)) return PACKAGE_CORRUPTED;

  info->script = std::move(script);
  info->treeOffset = treeOffset;
  return PACKAGE_VERIFIED;
}

PackageStatus ReadPackage(const char16_t* stubPath, PackageInfo* info) {
  std::unique_ptr<InputFile> file = OpenInputFile(stubPath);
  if (!file) return PACKAGE_UNREADABLE;
  PackageStatus status = ReadPackageFrom(*file, info);
  if (status == PACKAGE_VERIFIED) info->stubPath = stubPath;
  return status;
}
