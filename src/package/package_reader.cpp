#include "package/package_reader.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "package/byte_buffer.h"
#include "package/inflate.h"
#include "package/package_format.h"
#include "package/pe_signature.h"
#include "package/sha1.h"

namespace {

// How the tail is split among hash updates does not change the digest;
// 64 KB reads need far fewer calls than 4 KB ones. The first chunk of the
// stub also holds its PE headers.
constexpr size_t kHashChunk = 64 * 1024;
static_assert(kHashChunk <= STUB_SIZE);

struct HeapBlock {
  explicit HeapBlock(size_t size) : bytes(static_cast<uint8_t*>(malloc(size ? size : 1))) {}
  ~HeapBlock() { free(bytes); }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  uint8_t* bytes;
};

enum DigestResult { DIGEST_DONE, DIGEST_TOO_SHORT, DIGEST_UNREADABLE };

// Reads the section head at `offset`. False on a short read.
bool ReadSectionHead(InputFile& file, uint64_t offset, SectionHead* head) {
  uint8_t bytes[SECTION_HEAD_SIZE];
  if (!file.Seek(offset) || file.Read(bytes, sizeof bytes) != sizeof bytes) return false;
  *head = DecodeSectionHead(bytes);
  return true;
}

// Where the data area of the tree at `treeOffset` with an index of
// `indexLength` bytes starts.
uint64_t TreeDataBase(uint64_t treeOffset, uint32_t indexLength) {
  return treeOffset + SECTION_HEAD_SIZE + indexLength + TREE_DATA_LENGTH_SIZE;
}

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

// A signed setup program: signing rewrote the PE CheckSum and security entry
// in `head` and appended its certificate table, which must begin behind the
// stored digest. True when the rule applies; `head` is left untouched.
bool FindSignature(InputFile& file, const uint8_t* head, PeSignatureFields* fields,
                   CertificateTable* table) {
  return FindCertificateTable(file, head, kHashChunk, fields, table) &&
         table->offset >= SCRIPT_FLAG_OFFSET;
}

// Hashes salt, stub and tail, or only the tail from `afterStub` when that is
// given; `end` receives where the package ends.
DigestResult DigestFile(InputFile& file, const Sha1Context* afterStub, uint8_t computed[20],
                        uint8_t stored[20], uint64_t* end) {
  const int64_t size = file.Size();
  if (size < 0) return DIGEST_UNREADABLE;
  if (size < static_cast<int64_t>(SCRIPT_FLAG_OFFSET)) return DIGEST_TOO_SHORT;
  HeapBlock chunk(kHashChunk);
  if (chunk.bytes == nullptr) return DIGEST_UNREADABLE;
  if (!file.Seek(0) || file.Read(chunk.bytes, kHashChunk) != kHashChunk) return DIGEST_UNREADABLE;
  *end = static_cast<uint64_t>(size);
  PeSignatureFields fields;
  CertificateTable table;
  if (FindSignature(file, chunk.bytes, &fields, &table)) {
    ClearPeSignatureFields(chunk.bytes, fields);
    *end = table.offset;
  }

  Sha1Context context;
  if (afterStub != nullptr) {
    context = *afterStub;
    if (!file.Seek(STUB_SIZE)) return DIGEST_UNREADABLE;
  } else {
    Sha1Init(&context);
    Sha1Update(&context, PACKAGE_SALT, static_cast<int32_t>(PACKAGE_SALT_SIZE));
    Sha1Update(&context, chunk.bytes, static_cast<int32_t>(kHashChunk));
    if (!file.Seek(kHashChunk) || !HashBytes(file, &context, chunk.bytes, STUB_SIZE - kHashChunk)) {
      return DIGEST_UNREADABLE;
    }
  }
  if (file.Read(stored, PACKAGE_DIGEST_SIZE) != PACKAGE_DIGEST_SIZE) return DIGEST_UNREADABLE;
  if (!HashBytes(file, &context, chunk.bytes, *end - SCRIPT_FLAG_OFFSET)) return DIGEST_UNREADABLE;
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
  uint64_t end = 0;
  return DigestFile(file, nullptr, computed, stored, &end) == DIGEST_DONE;
}

bool FindPackageSignature(InputFile& file, CertificateTable* table) {
  HeapBlock head(kHashChunk);
  PeSignatureFields fields;
  return head.bytes != nullptr && file.Seek(0) && file.Read(head.bytes, kHashChunk) == kHashChunk &&
         FindSignature(file, head.bytes, &fields, table);
}

PackageStatus ReadPackageFrom(InputFile& file, PackageInfo* info, const Sha1Context* afterStub) {
  int64_t size = file.Size();
  if (size < 0) return PACKAGE_UNREADABLE;
  if (size == STUB_SIZE) return PACKAGE_NONE;

  uint8_t computed[PACKAGE_DIGEST_SIZE];
  uint8_t stored[PACKAGE_DIGEST_SIZE];
  uint64_t end = 0;
  switch (DigestFile(file, afterStub, computed, stored, &end)) {
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
  if (end < SCRIPT_OFFSET) return PACKAGE_CORRUPTED;
  SectionHead head;
  if (!ReadSectionHead(file, SCRIPT_FLAG_OFFSET, &head)) return PACKAGE_UNREADABLE;
  const uint32_t length = head.length;
  if (length > end - SCRIPT_OFFSET) return PACKAGE_CORRUPTED;

  SetupScript script;
  if (length != 0) {
    script.bytes = static_cast<uint8_t*>(malloc(length));
    if (script.bytes == nullptr) return PACKAGE_UNREADABLE;
    if (file.Read(script.bytes, length) != length) return PACKAGE_UNREADABLE;
  }
  script.length = length;

  if (head.flag != 0) {
    ByteBuffer inflated(1024);
    // A script that fails to inflate is what it inflated to; one that grows
    // past its ceiling is damage, not a reason to allocate gigabytes.
    const int inflatedStatus =
        InflateToBuffer(script.bytes, script.length, &inflated, InflateCeiling(script.length));
    if (inflatedStatus == INFLATE_OVER_LIMIT) return PACKAGE_CORRUPTED;
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
  SectionHead treeHead;
  info->treeMethod = ReadSectionHead(file, treeOffset, &treeHead)
                         ? TreeFlagMethod(treeHead.flag)
                         : static_cast<uint8_t>(TREE_METHOD_PER_FILE);
  return PACKAGE_VERIFIED;
}

PackageStatus ReadPackage(const char16_t* stubPath, PackageInfo* info) {
  std::unique_ptr<InputFile> file = OpenInputFile(stubPath);
  if (!file) return PACKAGE_UNREADABLE;
  PackageStatus status = ReadPackageFrom(*file, info);
  if (status == PACKAGE_VERIFIED) info->stubPath = stubPath;
  return status;
}

bool IsReadableTreeMethod(InputFile& file, uint64_t treeOffset) {
  SectionHead head;
  if (!ReadSectionHead(file, treeOffset, &head)) return true;
  switch (TreeFlagMethod(head.flag)) {
    case TREE_METHOD_PER_FILE:
    case TREE_METHOD_RECORD:
      return true;
    case TREE_METHOD_SOLID_LZMA2: {
      uint8_t bytes[SOLID_HEADER_SIZE];
      SolidHeader solid;
      return file.Seek(TreeDataBase(treeOffset, head.length)) &&
             file.Read(bytes, sizeof bytes) == sizeof bytes && DecodeSolidHeader(bytes, &solid);
    }
    default:
      return false;
  }
}

PackageTree::~PackageTree() { free(index); }

bool OpenPackageTree(InputFile& file, uint64_t treeOffset, PackageTree* tree) {
  const int64_t size = file.Size();
  const uint64_t fileSize = size < 0 ? 0 : static_cast<uint64_t>(size);
  const uint64_t headEnd = treeOffset + SECTION_HEAD_SIZE;
  tree->dataBase = TreeDataBase(treeOffset, 0);

  SectionHead head;
  tree->damaged = true;
  if (!ReadSectionHead(file, treeOffset, &head)) return true;
  tree->indexCompressed = TreeFlagIndexDeflated(head.flag);
  tree->method = TreeFlagMethod(head.flag);
  tree->storedIndexLength = head.length;
  tree->dataBase = TreeDataBase(treeOffset, head.length);

  // The declared length is only believed as far as the file reaches.
  const uint64_t present = fileSize > headEnd ? fileSize - headEnd : 0;
  const size_t stored = static_cast<size_t>(head.length < present ? head.length : present);
  auto* bytes = static_cast<uint8_t*>(malloc(stored == 0 ? 1 : stored));
  if (bytes == nullptr) return false;
  const size_t got = file.Read(bytes, stored);

  uint8_t dataLength[TREE_DATA_LENGTH_SIZE];
  if (got == stored && file.Read(dataLength, sizeof dataLength) == sizeof dataLength) {
    tree->dataAreaLength = DecodeU32(dataLength);
    tree->damaged = stored != head.length;
  }

  if (!tree->indexCompressed) {
    tree->index = bytes;
    tree->indexLength = got;
    return true;
  }
  // An index that fails to inflate is what it inflated to, up to its ceiling.
  ByteBuffer inflated(1024);
  if (InflateToBuffer(bytes, static_cast<uint32_t>(got), &inflated, InflateCeiling(head.length)) !=
      0) {
    tree->damaged = true;
  }
  free(bytes);
  tree->indexLength = static_cast<size_t>(inflated.length);
  tree->index = inflated.Release();
  if (tree->index == nullptr) tree->indexLength = 0;
  return true;
}
