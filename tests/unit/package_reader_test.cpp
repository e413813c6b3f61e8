#include "package/package_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "base/byte_order.h"
#include "package/inflate.h"
#include "package/package_format.h"
#include "package/sha1.h"
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

}  // namespace

TEST(ReadPackageTest, BareStubHoldsNoPackage) {
  PackageInfo info;
  EXPECT_EQ(ReadBytes(FakeStub(), &info), PACKAGE_NONE);
  EXPECT_EQ(info.script.bytes, nullptr);
}

TEST(ReadPackageTest, PlainAndCompressedScriptsRead) {
  Bytes tree = RandomBytes(5000, 1);
  tree[0] = 0;  // the tree flag: a data method the reader knows
  Bytes packed = RawDeflate(kScript);
  struct Case {
    uint8_t flag;
    Bytes stored;
  } cases[] = {{0, kScript}, {1, packed}, {0xFF, packed}};
  for (const Case& c : cases) {
    PackageInfo info;
    Bytes file = AssemblePackage(FakeStub(), c.flag, c.stored, tree);
    ASSERT_EQ(ReadBytes(file, &info), PACKAGE_VERIFIED) << int(c.flag);
    EXPECT_EQ(ScriptOf(info), kScript) << int(c.flag);
    // The tree follows the script as stored, compressed or not.
    EXPECT_EQ(info.treeOffset, SCRIPT_OFFSET + c.stored.size()) << int(c.flag);
  }
}

TEST(ReadPackageTest, EmptyScriptPutsTheTreeRightBehindTheLength) {
  PackageInfo info;
  ASSERT_EQ(ReadBytes(AssemblePackage(FakeStub(), 0, {}, {0}), &info), PACKAGE_VERIFIED);
  EXPECT_EQ(info.script.length, 0u);
  EXPECT_EQ(info.treeOffset, 310297u);
}

TEST(ReadPackageTest, ScriptThatFailsToInflateIsWhatInflated) {
  Bytes packed = RawDeflate(kScript);
  packed.resize(packed.size() / 2);
  PackageInfo info;
  ASSERT_EQ(ReadBytes(AssemblePackage(FakeStub(), 1, packed, {}), &info), PACKAGE_VERIFIED);
  Bytes script = ScriptOf(info);
  EXPECT_LT(script.size(), kScript.size());
  EXPECT_TRUE(std::equal(script.begin(), script.end(), kScript.begin()));

  // A small block that inflates past its ceiling is damage, never allocated.
  const Bytes bomb = RawDeflate(Bytes(4 << 20, '\n'));
  ASSERT_LT(InflateCeiling(static_cast<uint32_t>(bomb.size())), 1u << 20);
  EXPECT_EQ(ReadBytes(AssemblePackage(FakeStub(), 1, bomb, {}), &info), PACKAGE_CORRUPTED);
}

TEST(ReadPackageTest, DigestCoversSaltStubAndTailAsOneStream) {
  Bytes file = AssemblePackage(FakeStub(), 0, kScript, RandomBytes(10000, 2));
  Bytes whole(PACKAGE_SALT, PACKAGE_SALT + PACKAGE_SALT_SIZE);
  whole.insert(whole.end(), file.begin(), file.begin() + STUB_SIZE);
  whole.insert(whole.end(), file.begin() + SCRIPT_FLAG_OFFSET, file.end());
  Sha1Context context;
  Sha1Init(&context);
  Sha1UpdateLarge(&context, whole.data(), whole.size());
  uint8_t expected[20];
  Sha1Final(&context, expected);

  uint8_t computed[20], stored[20];
  MemoryInputFile input(file.data(), file.size());
  ASSERT_TRUE(ComputePackageDigest(input, computed, stored));
  EXPECT_EQ(Bytes(computed, computed + 20), Bytes(expected, expected + 20));
  EXPECT_EQ(Bytes(stored, stored + 20), Bytes(expected, expected + 20));
}

TEST(ReadPackageTest, AnyChangedByteIsCorruption) {
  Bytes file = AssemblePackage(FakeStub(), 1, RawDeflate(kScript), RandomBytes(3000, 3));
  std::set<size_t> positions = {0,
                                1,
                                STUB_SIZE - 1,
                                SCRIPT_FLAG_OFFSET,
                                SCRIPT_FLAG_OFFSET + 1,
                                SCRIPT_OFFSET,
                                file.size() - 1};
  for (size_t i = 0; i < PACKAGE_DIGEST_SIZE; ++i) positions.insert(STUB_SIZE + i);
  for (size_t i = 0; i < file.size(); i += 9973) positions.insert(i);
  for (size_t pos : positions) {
    Bytes changed = file;
    changed[pos] ^= 0x20;
    PackageInfo info;
    EXPECT_EQ(ReadBytes(changed, &info), PACKAGE_CORRUPTED) << pos;
  }
}

TEST(ReadPackageTest, TailsThatAreExactChunkMultiplesVerify) {
  // 4096 and 65536 are the chunk sizes a reader may use for the tail.
  for (size_t tail : {size_t{4096}, size_t{8192}, size_t{65536}, size_t{131072}}) {
    Bytes tree = RandomBytes(tail - 5 - kScript.size(), 4);
    tree[0] = 1;
    Bytes file = AssemblePackage(FakeStub(), 0, kScript, tree);
    ASSERT_EQ(file.size() - SCRIPT_FLAG_OFFSET, tail);
    PackageInfo info;
    EXPECT_EQ(ReadBytes(file, &info), PACKAGE_VERIFIED) << tail;
  }
}

TEST(ReadPackageTest, FilesTooShortForStubAndDigestAreCorrupted) {
  Bytes file = AssemblePackage(FakeStub(), 0, kScript, {});
  for (size_t size : {size_t{0}, size_t{100}, size_t{STUB_SIZE - 1}, size_t{STUB_SIZE + 1},
                      size_t{SCRIPT_FLAG_OFFSET - 1}}) {
    Bytes cut(file.begin(), file.begin() + size);
    PackageInfo info;
    EXPECT_EQ(ReadBytes(cut, &info), PACKAGE_CORRUPTED) << size;
  }
}

TEST(ReadPackageTest, SealedPackageWithoutRoomForTheScriptHeaderIsCorrupted) {
  Bytes file = FakeStub();
  file.resize(SCRIPT_FLAG_OFFSET + 3, 0);  // flag and half a length
  ResealPackage(file);
  PackageInfo info;
  EXPECT_EQ(ReadBytes(file, &info), PACKAGE_CORRUPTED);
}

TEST(ReadPackageTest, ScriptLengthPastTheEndIsCorruptedEvenWithAValidDigest) {
  Bytes file = AssemblePackage(FakeStub(), 0, kScript, {});
  PackageInfo info;
  // Exactly the rest of the file is fine: the tree is then empty.
  ASSERT_EQ(ReadBytes(file, &info), PACKAGE_VERIFIED);
  EXPECT_EQ(info.treeOffset, file.size());

  for (uint32_t length : {static_cast<uint32_t>(kScript.size() + 1), 0xFFFFFFFFu}) {
    EncodeU32(file.data() + SCRIPT_LENGTH_OFFSET, length);
    ResealPackage(file);
    PackageInfo other;
    EXPECT_EQ(ReadBytes(file, &other), PACKAGE_CORRUPTED) << length;
    EXPECT_EQ(other.script.bytes, nullptr);
  }
}

namespace {

// A file whose reads stop early, as a failing disk or a shrinking file would.
class ShortReadFile final : public InputFile {
 public:
  ShortReadFile(const Bytes& bytes, size_t readable) : bytes_(bytes), readable_(readable) {}
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
  bool Seek(uint64_t offset) override {
    position_ = offset;
    return true;
  }
  size_t Read(void* buffer, size_t size) override {
    if (position_ >= readable_) return 0;
    size_t n = std::min(size, static_cast<size_t>(readable_ - position_));
    memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
  }

 private:
  const Bytes& bytes_;
  size_t readable_;
  uint64_t position_ = 0;
};

}  // namespace

TEST(ReadPackageTest, ReadsThatStopEarlyAreUnreadableNotGarbage) {
  Bytes file = AssemblePackage(FakeStub(), 0, kScript, RandomBytes(100, 5));
  for (size_t readable : {size_t{1000}, size_t{STUB_SIZE + 5}, file.size() - 1}) {
    ShortReadFile input(file, readable);
    PackageInfo info;
    EXPECT_EQ(ReadPackageFrom(input, &info), PACKAGE_UNREADABLE) << readable;
  }
}

TEST(ReadPackageTest, ReadsFromDiskAndKeepsThePath) {
  auto path = std::filesystem::temp_directory_path() / "package_reader_test.bin";
  Bytes tree = RandomBytes(70000, 6);
  tree[0] = 0;
  Bytes file = AssemblePackage(FakeStub(), 0, kScript, tree);
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
  }
  std::u16string widePath = path.u16string();
  PackageInfo info;
  ASSERT_EQ(ReadPackage(widePath.c_str(), &info), PACKAGE_VERIFIED);
  EXPECT_EQ(info.stubPath, widePath);
  EXPECT_EQ(ScriptOf(info), kScript);
  std::filesystem::remove(path);

  PackageInfo missing;
  EXPECT_EQ(ReadPackage(widePath.c_str(), &missing), PACKAGE_UNREADABLE);
}

namespace {

// A package behind a PE stub whose CheckSum the builder cleared, ending on
// the 8-byte boundary where signing tools start their table.
Bytes SignablePackage(bool plus) {
  Bytes stub = PeStub(plus);
  EncodeU32(stub.data() + kPeChecksumAt, 0);
  const size_t tree = 3000 + (8 - (SCRIPT_OFFSET + kScript.size() + 3000) % 8) % 8;
  Bytes bytes = RandomBytes(tree, 7);
  bytes[0] = 0;  // the tree flag: a data method the reader knows
  return AssemblePackage(stub, 0, kScript, bytes);
}

}  // namespace

TEST(ReadPackageTest, SignedPackagesVerifyAndAnyOtherChangedByteIsCorruption) {
  // Built before the builder cleared the CheckSum: every byte counts.
  PackageInfo old;
  EXPECT_EQ(ReadBytes(AssemblePackage(PeStub(), 0, kScript, {0}), &old), PACKAGE_VERIFIED);

  for (bool plus : {false, true}) {
    const Bytes unsigned_ = SignablePackage(plus);
    Bytes file = unsigned_;
    AppendSignature(file, plus, {1200, 903});
    PackageInfo info;
    ASSERT_EQ(ReadBytes(file, &info), PACKAGE_VERIFIED) << plus;
    EXPECT_EQ(ScriptOf(info), kScript);
    EXPECT_EQ(info.treeOffset, SCRIPT_OFFSET + kScript.size());
    MemoryInputFile input(file.data(), file.size());
    CertificateTable table;
    ASSERT_TRUE(FindPackageSignature(input, &table));
    EXPECT_EQ(table.offset, unsigned_.size());

    const size_t security = PeSecurityEntryAt(plus);
    // Signing set the security entry; the CheckSum and the records' contents
    // are the signer's business too.
    for (size_t pos : {kPeChecksumAt, kPeChecksumAt + 3, file.size() - 1}) {
      Bytes changed = file;
      changed[pos] ^= 0x01;
      EXPECT_EQ(ReadBytes(changed, &info), PACKAGE_VERIFIED) << plus << " " << pos;
    }
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

TEST(ReadPackageTest, TablesOverTheDigestAreNoSignature) {
  Bytes file = PeStub();
  AppendSignature(file, false, {24});
  PackageInfo info;
  EXPECT_EQ(ReadBytes(file, &info), PACKAGE_CORRUPTED);
}
