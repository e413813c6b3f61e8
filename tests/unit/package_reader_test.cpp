#include "package/package_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/byte_order.h"
#include "package/inflate.h"
#include "test_support.h"

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
