// The package as the stub reads it: the format's entries and heads, the PE
// signature fields, and the reader's digest, script and tree offset.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "package/inflate.h"
#include "package/package_format.h"
#include "package/package_reader.h"
#include "package/pe_signature.h"
#include "package/sha1.h"
#include "test_support.h"

namespace {

// The format's worked example, byte by byte: "sub" holding "a.txt" (5 bytes
// at offset 0) and the empty "e.txt", in 61 bytes.
const Bytes kExampleIndex = {
    0x01, 's',  'u',  'b',  0x00, 0x00, 0x00, 0x00, 0x00,                    // folder
    0x03, 'a',  '.',  't',  'x',  't',  0x00, 0x00, 0x00, 0x00, 0x00,        // file
    0xE6, 0x07, 0x0B, 0x03, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00,  // time, size
    0x00, 0x00, 0x00, 0x00,                                                  // offset
    0x03, 'e',  '.',  't',  'x',  't',  0x00, 0x00, 0x00, 0x00, 0x00,        // empty file
    0xE6, 0x07, 0x0B, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // no offset
    0x02, 0x00};

}  // namespace

TEST(PackageFormatTest, TheWorkedIndexExampleBothWays) {
  const std::string index = WorkedExample().index;
  ASSERT_EQ(Bytes(index.begin(), index.end()), kExampleIndex);
  struct Expected {
    size_t length;
    uint8_t type;
    std::string name;
    uint32_t storedSize;
  } const expected[] = {{9, ENTRY_DIRECTORY, "sub", 0},
                        {27, ENTRY_FILE, "a.txt", 5},
                        {23, ENTRY_FILE, "e.txt", 0},
                        {1, ENTRY_DIRECTORY_END, "", 0},
                        {1, ENTRY_END, "", 0}};
  const uint8_t* at = kExampleIndex.data();
  for (const Expected& e : expected) {
    IndexEntry entry;
    ASSERT_EQ(DecodeIndexEntry(at, kExampleIndex.data() + kExampleIndex.size() - at, &entry),
              e.length);
    EXPECT_EQ(entry.type, e.type);
    EXPECT_EQ(std::string(entry.name == nullptr ? "" : entry.name, entry.nameLength), e.name);
    EXPECT_EQ(entry.storedSize, e.storedSize);
    if (e.type == ENTRY_FILE) {
      EXPECT_EQ(entry.time, kEntryTime);
    }
    at += e.length;
  }
}

TEST(PackageFormatTest, EveryCutInsideAnEntryIsReportedAsTruncated) {
  std::string entries;
  AppendDirectoryEntry(entries, "dir", 3);
  AppendFileEntry(entries, "f", 1, ENTRY_COMPRESSED, kEntryTime, 9, 77);
  const auto* data = reinterpret_cast<const uint8_t*>(entries.data());
  IndexEntry entry;
  for (size_t cut = 0; cut < 9; ++cut) EXPECT_EQ(DecodeIndexEntry(data, cut, &entry), 0u) << cut;
  for (size_t cut = 0; cut < entries.size() - 9; ++cut) {
    EXPECT_EQ(DecodeIndexEntry(data + 9, cut, &entry), 0u) << cut;
  }
  ASSERT_EQ(DecodeIndexEntry(data + 9, entries.size() - 9, &entry), entries.size() - 9);
  EXPECT_EQ(entry.flags, ENTRY_COMPRESSED);
  EXPECT_EQ(entry.offset, 77u);

  // Unknown types carry a name and flags only.
  const uint8_t entry9[] = {9, 'x', 0, 1, 0, 0, 0, 3};
  EXPECT_EQ(DecodeIndexEntry(entry9, sizeof entry9, &entry), 7u);
  EXPECT_EQ(entry.type, 9);
  EXPECT_EQ(entry.flags, 1u);
}

TEST(PackageFormatTest, SectionAndSolidHeads) {
  uint8_t head[SECTION_HEAD_SIZE];
  EncodeSectionHead(head, {0x11, 0x01020304});
  EXPECT_EQ(Bytes(head, head + sizeof head), (Bytes{0x11, 0x04, 0x03, 0x02, 0x01}));
  const SectionHead decoded = DecodeSectionHead(head);
  EXPECT_EQ(decoded.flag, 0x11);
  EXPECT_EQ(decoded.length, 0x01020304u);

  // A solid head is readable when its blocks cover the stream exactly, are
  // no smaller than the minimum, and its dictionary stays within the maximum.
  constexpr uint32_t B = MIN_SOLID_BLOCK_SIZE;
  struct Case {
    SolidHeader header;
    bool readable;
  } const cases[] = {
      {{0, B, 0, 0}, true},      {{B, B, 1, 28}, true},
      {{B + 1, B, 2, 0}, true},  {{B - 1, B, 1, 0}, true},
      {{B + 1, B, 1, 0}, false}, {{B, B, 2, 0}, false},
      {{0, B, 1, 0}, false},     {{1, B - 1, 1, 0}, false},
      {{1, B, 1, 29}, false},    {{0xFFFFFFFF, 0xFFFFFFFF, 1, 0}, true},
  };
  for (const Case& c : cases) {
    uint8_t bytes[SOLID_HEADER_SIZE];
    EncodeSolidHeader(bytes, c.header);
    SolidHeader read;
    EXPECT_EQ(DecodeSolidHeader(bytes, &read), c.readable) << c.header.streamLength;
    EXPECT_EQ(read.blockCount, c.header.blockCount);
  }
}

namespace {

constexpr uint32_t kTableAt = STUB_SIZE + 3000;

// A PE stub with 3000 bytes behind it, signed: its table starts at kTableAt.
Bytes SignedFile(bool plus, const std::vector<uint32_t>& records = {1200}) {
  Bytes file = PeStub(plus);
  file.resize(file.size() + 3000, 0x5A);
  AppendSignature(file, plus, records);
  return file;
}

void SetTable(Bytes& file, uint32_t offset, uint32_t size) {
  EncodeU32(file.data() + PeSecurityEntryAt(false), offset);
  EncodeU32(file.data() + PeSecurityEntryAt(false) + 4, size);
}

bool Find(const Bytes& file, CertificateTable* table, size_t headLength = 4096) {
  MemoryInputFile input(file.data(), file.size());
  PeSignatureFields fields;
  return FindCertificateTable(input, file.data(), headLength, &fields, table);
}

}  // namespace

TEST(PeSignatureTest, FindsTheFieldsAndAWellFormedTableAtTheEnd) {
  for (bool plus : {false, true}) {
    PeSignatureFields fields;
    Bytes stub = PeStub(plus);
    // An optional header that ends right behind the security entry will do.
    EncodeU16(stub.data() + 0x94, static_cast<uint16_t>(PeSecurityEntryAt(plus) + 8 - 0x98));
    ASSERT_TRUE(FindPeSignatureFields(stub.data(), PeSecurityEntryAt(plus) + 8, &fields)) << plus;
    EXPECT_EQ(fields.checksumOffset, kPeChecksumAt);
    EXPECT_EQ(fields.securityEntryOffset, PeSecurityEntryAt(plus));

    // Records of unaligned length are followed by padding to the next one.
    const Bytes file = SignedFile(plus, {1200, 1203});
    CertificateTable table;
    ASSERT_TRUE(Find(file, &table)) << plus;
    EXPECT_EQ(table.offset, kTableAt);
    EXPECT_EQ(table.offset + table.size, file.size());
    EXPECT_EQ(table.records, 2u);
  }
}

TEST(PeSignatureTest, HostileHeadersAndTablesAreNoSignature) {
  struct Case {
    const char* what;
    std::function<void(Bytes&)> change;
    size_t headLength = 4096;
  } const cases[] = {
      {"no MZ", [](Bytes& f) { f[0] = 'X'; }},
      {"PE offset past the head", [](Bytes& f) { EncodeU32(f.data() + 0x3C, 0xFFFFFFF0); }},
      {"PE offset just before the head's end", [](Bytes& f) { EncodeU32(f.data() + 0x3C, 4090); }},
      {"headers cut by the head's end", [](Bytes&) {}, PeSecurityEntryAt(false) + 7},
      {"no PE signature", [](Bytes& f) { f[0x81] = 'X'; }},
      {"unknown optional header", [](Bytes& f) { EncodeU16(f.data() + 0x98, 0x107); }},
      {"optional header ends in the entry", [](Bytes& f) { EncodeU16(f.data() + 0x94, 135); }},
      {"no security entry", [](Bytes& f) { EncodeU32(f.data() + 0x98 + 92, 4); }},
      {"table past the end", [](Bytes& f) { SetTable(f, static_cast<uint32_t>(f.size()), 8); }},
      {"size wraps to the end in 32 bits",
       [](Bytes& f) { SetTable(f, static_cast<uint32_t>(f.size()) + 8, 0xFFFFFFF8); }},
      {"table not last", [](Bytes& f) { f.resize(f.size() + 8, 0); }},
      {"table starting inside a record", [](Bytes& f) { SetTable(f, kTableAt + 8, 1192); }},
      {"misaligned table", [](Bytes& f) { SetTable(f, kTableAt + 4, 1204); }},
      {"empty table", [](Bytes& f) { SetTable(f, static_cast<uint32_t>(f.size()), 0); }},
      {"record length overflows", [](Bytes& f) { EncodeU32(f.data() + kTableAt, 0xFFFFFFFF); }},
      {"record past the table", [](Bytes& f) { EncodeU32(f.data() + kTableAt, 1208); }},
      {"record without contents", [](Bytes& f) { EncodeU32(f.data() + kTableAt, 8); }},
      {"old revision", [](Bytes& f) { EncodeU16(f.data() + kTableAt + 4, 0x0100); }},
      {"X.509 record", [](Bytes& f) { EncodeU16(f.data() + kTableAt + 6, 1); }},
  };
  for (const Case& c : cases) {
    Bytes file = SignedFile(false);
    c.change(file);
    CertificateTable table;
    EXPECT_FALSE(Find(file, &table, c.headLength)) << c.what;
  }
  CertificateTable table;
  EXPECT_TRUE(Find(SignedFile(false, std::vector<uint32_t>(MAX_CERTIFICATES, 16)), &table));
  EXPECT_FALSE(Find(SignedFile(false, std::vector<uint32_t>(MAX_CERTIFICATES + 1, 16)), &table));
}

namespace {

PackageStatus ReadBytes(const Bytes& file, PackageInfo* info) {
  MemoryInputFile input(file.data(), file.size());
  return ReadPackageFrom(input, info);
}

Bytes ScriptOf(const PackageInfo& info) {
  return Bytes(info.script.bytes, info.script.bytes + info.script.length);
}

const Bytes kScript = ToBytes("[locale]\r\nSetup\r\nWelcome\r\n[install]\r\necho hi\r\n");

// A tree section of `size` bytes whose flag names the per-file method.
Bytes Tree(size_t size, uint32_t seed) {
  Bytes tree = RandomBytes(size, seed);
  if (!tree.empty()) tree[0] = 0;
  return tree;
}

// A file whose reads stop early, as a failing disk or a shrinking file would.
class ShortReadFile final : public InputFile {
 public:
  ShortReadFile(const Bytes& bytes, size_t readable)
      : inner_(bytes.data(), readable), size_(bytes.size()) {}
  int64_t Size() override { return static_cast<int64_t>(size_); }
  bool Seek(uint64_t offset) override { return inner_.Seek(offset); }
  size_t Read(void* buffer, size_t size) override { return inner_.Read(buffer, size); }

 private:
  MemoryInputFile inner_;
  size_t size_;
};

}  // namespace

TEST(ReadPackageTest, ScriptsStoredPlainOrDeflatedAndTheTreeBehind) {
  PackageInfo info;
  EXPECT_EQ(ReadBytes(FakeStub(), &info), PACKAGE_NONE);
  EXPECT_EQ(info.script.bytes, nullptr);

  const Bytes packed = RawDeflate(kScript);
  struct Case {
    uint8_t flag;
    Bytes stored;
    Bytes tree;
  } const cases[] = {{0, kScript, Tree(5000, 1)},
                     {1, packed, Tree(5000, 1)},
                     {0xFF, packed, Tree(3, 1)},
                     {0, {}, {}},
                     {0, {'x'}, Tree(1, 1)}};
  for (const Case& c : cases) {
    const Bytes file = AssemblePackage(FakeStub(), c.flag, c.stored, c.tree);
    ASSERT_EQ(ReadBytes(file, &info), PACKAGE_VERIFIED) << int(c.flag);
    EXPECT_EQ(ScriptOf(info), c.flag == 0 ? c.stored : kScript) << int(c.flag);
    EXPECT_EQ(info.script.bytes == nullptr, c.stored.empty());
    // The tree follows the script as stored, compressed or not.
    EXPECT_EQ(info.treeOffset, SCRIPT_OFFSET + c.stored.size()) << int(c.flag);
  }

  // A script that fails to inflate is what it inflated to; one that grows
  // past its ceiling is damage, never allocated.
  Bytes cut = packed;
  cut.resize(cut.size() / 2);
  ASSERT_EQ(ReadBytes(AssemblePackage(FakeStub(), 1, cut, {}), &info), PACKAGE_VERIFIED);
  const Bytes script = ScriptOf(info);
  EXPECT_LT(script.size(), kScript.size());
  EXPECT_TRUE(std::equal(script.begin(), script.end(), kScript.begin()));
  const Bytes bomb = RawDeflate(Bytes(4 << 20, '\n'));
  ASSERT_LT(InflateCeiling(static_cast<uint32_t>(bomb.size())), 1u << 20);
  EXPECT_EQ(ReadBytes(AssemblePackage(FakeStub(), 1, bomb, {}), &info), PACKAGE_CORRUPTED);
}

TEST(ReadPackageTest, TheDigestCoversSaltStubAndTailAsOneStream) {
  // 4096 and 65536 are the chunk sizes a reader may use for the tail.
  for (size_t tail : {size_t{4096}, size_t{65536}, size_t{131072}, size_t{10000}}) {
    const Bytes file = AssemblePackage(FakeStub(), 0, kScript, Tree(tail - 5 - kScript.size(), 2));
    ASSERT_EQ(file.size() - SCRIPT_FLAG_OFFSET, tail);
    Bytes whole(PACKAGE_SALT, PACKAGE_SALT + PACKAGE_SALT_SIZE);
    whole.insert(whole.end(), file.begin(), file.begin() + STUB_SIZE);
    whole.insert(whole.end(), file.begin() + SCRIPT_FLAG_OFFSET, file.end());
    uint8_t computed[20], stored[20];
    MemoryInputFile input(file.data(), file.size());
    ASSERT_TRUE(ComputePackageDigest(input, computed, stored));
    EXPECT_EQ(Hex(computed, 20), Sha1Hex(whole)) << tail;
    EXPECT_EQ(Hex(stored, 20), Sha1Hex(whole)) << tail;
    PackageInfo info;
    EXPECT_EQ(ReadBytes(file, &info), PACKAGE_VERIFIED) << tail;
    // A caller's own state after the salt and the stub is taken as given.
    Sha1Context afterStub;
    Sha1Init(&afterStub);
    EXPECT_EQ(ReadPackageFrom(input, &info, &afterStub), PACKAGE_CORRUPTED) << tail;
    Sha1UpdateLarge(&afterStub, whole.data(), PACKAGE_SALT_SIZE + STUB_SIZE);
    EXPECT_EQ(ReadPackageFrom(input, &info, &afterStub), PACKAGE_VERIFIED) << tail;
  }
}

TEST(ReadPackageTest, AnyChangedByteIsCorruption) {
  const Bytes file = AssemblePackage(FakeStub(), 1, RawDeflate(kScript), Tree(3000, 3));
  std::vector<size_t> positions = {
      0, 1, STUB_SIZE - 1, SCRIPT_FLAG_OFFSET, SCRIPT_OFFSET, file.size() - 1};
  for (size_t i = 0; i < PACKAGE_DIGEST_SIZE; i += 7) positions.push_back(STUB_SIZE + i);
  for (size_t i = 0; i < file.size(); i += 9973) positions.push_back(i);
  for (size_t pos : positions) {
    Bytes changed = file;
    changed[pos] ^= 0x20;
    PackageInfo info;
    EXPECT_EQ(ReadBytes(changed, &info), PACKAGE_CORRUPTED) << pos;
  }
}

TEST(ReadPackageTest, ShortFilesAndLengthsPastTheEndAreCorrupted) {
  const Bytes file = AssemblePackage(FakeStub(), 0, kScript, {});
  PackageInfo info;
  for (size_t size : {size_t{0}, size_t{100}, size_t{STUB_SIZE - 1}, size_t{STUB_SIZE + 1},
                      size_t{SCRIPT_FLAG_OFFSET - 1}}) {
    EXPECT_EQ(ReadBytes(Bytes(file.begin(), file.begin() + size), &info), PACKAGE_CORRUPTED)
        << size;
  }
  // Sealed, but without room for the script's head: a flag and half a length.
  Bytes headless = FakeStub();
  headless.resize(SCRIPT_FLAG_OFFSET + 3, 0);
  ResealPackage(headless);
  EXPECT_EQ(ReadBytes(headless, &info), PACKAGE_CORRUPTED);

  // The digest proves only what was built: exactly the rest of the file is a
  // script with an empty tree, a byte more is damage.
  ASSERT_EQ(ReadBytes(file, &info), PACKAGE_VERIFIED);
  EXPECT_EQ(info.treeOffset, file.size());
  for (uint32_t length : {static_cast<uint32_t>(kScript.size() + 1), 0xFFFFFFFFu}) {
    Bytes longer = file;
    EncodeU32(longer.data() + SCRIPT_LENGTH_OFFSET, length);
    ResealPackage(longer);
    PackageInfo other;
    EXPECT_EQ(ReadBytes(longer, &other), PACKAGE_CORRUPTED) << length;
    EXPECT_EQ(other.script.bytes, nullptr);
  }
}

TEST(ReadPackageTest, ReadsThatStopEarlyOrCannotStartAreUnreadableNotGarbage) {
  const Bytes file = AssemblePackage(FakeStub(), 0, kScript, Tree(100, 5));
  for (size_t readable : {size_t{1000}, size_t{STUB_SIZE + 5}, file.size() - 1}) {
    ShortReadFile input(file, readable);
    PackageInfo info;
    EXPECT_EQ(ReadPackageFrom(input, &info), PACKAGE_UNREADABLE) << readable;
  }
  const std::u16string missing =
      (std::filesystem::temp_directory_path() / "package_reader_test.missing").u16string();
  PackageInfo info;
  EXPECT_EQ(ReadPackage(missing.c_str(), &info), PACKAGE_UNREADABLE);
}

TEST(ReadPackageTest, SignedPackagesVerifyAndAnyOtherChangedByteIsCorruption) {
  // Built before the builder cleared the CheckSum: every byte counts.
  PackageInfo info;
  EXPECT_EQ(ReadBytes(AssemblePackage(PeStub(), 0, kScript, {0}), &info), PACKAGE_VERIFIED);
  // A table over the digest is no signature.
  Bytes early = PeStub();
  AppendSignature(early, false, {24});
  EXPECT_EQ(ReadBytes(early, &info), PACKAGE_CORRUPTED);

  for (bool plus : {false, true}) {
    // A package behind a PE stub whose CheckSum the builder cleared, ending
    // on the 8-byte boundary where signing tools start their table.
    Bytes stub = PeStub(plus);
    EncodeU32(stub.data() + kPeChecksumAt, 0);
    const size_t tree = 3000 + (8 - (SCRIPT_OFFSET + kScript.size() + 3000) % 8) % 8;
    const Bytes unsigned_ = AssemblePackage(stub, 0, kScript, Tree(tree, 7));
    Bytes file = unsigned_;
    AppendSignature(file, plus, {1200, 903});
    ASSERT_EQ(ReadBytes(file, &info), PACKAGE_VERIFIED) << plus;
    EXPECT_EQ(ScriptOf(info), kScript);
    EXPECT_EQ(info.treeOffset, SCRIPT_OFFSET + kScript.size());
    MemoryInputFile input(file.data(), file.size());
    CertificateTable table;
    ASSERT_TRUE(FindPackageSignature(input, &table));
    EXPECT_EQ(table.offset, unsigned_.size());

    // Signing set the security entry; the CheckSum and the records' contents
    // are the signer's business too.
    for (size_t pos : {kPeChecksumAt, kPeChecksumAt + 3, file.size() - 1}) {
      Bytes changed = file;
      changed[pos] ^= 0x01;
      EXPECT_EQ(ReadBytes(changed, &info), PACKAGE_VERIFIED) << plus << " " << pos;
    }
    const size_t security = PeSecurityEntryAt(plus);
    for (size_t pos : {size_t{0}, size_t{0x88}, kPeChecksumAt - 1, security + 8,
                       size_t{STUB_SIZE - 1}, size_t{STUB_SIZE}, size_t{SCRIPT_FLAG_OFFSET},
                       unsigned_.size() - 1, unsigned_.size() + 4, file.size()}) {
      Bytes changed = file;
      if (pos == file.size()) {
        changed.push_back(0);  // the table is no longer last
      } else {
        changed[pos] ^= 0x01;  // headers, stub, digest, package, a record's revision
      }
      EXPECT_EQ(ReadBytes(changed, &info), PACKAGE_CORRUPTED) << plus << " " << pos;
    }
  }
}
