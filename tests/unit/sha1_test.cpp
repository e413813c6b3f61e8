#include "package/sha1.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Hex(const uint8_t digest[SHA1_DIGEST_SIZE]) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < SHA1_DIGEST_SIZE; ++i) {
    out += kDigits[digest[i] >> 4];
    out += kDigits[digest[i] & 15];
  }
  return out;
}

std::string HashInOne(const void* data, size_t size) {
  Sha1Context context;
  Sha1Init(&context);
  Sha1UpdateLarge(&context, data, size);
  uint8_t digest[SHA1_DIGEST_SIZE];
  Sha1Final(&context, digest);
  return Hex(digest);
}

std::string HashOf(const std::string& text) { return HashInOne(text.data(), text.size()); }

std::vector<uint8_t> RandomBytes(std::mt19937& random, size_t size) {
  std::vector<uint8_t> bytes(size);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

// Runs every test body once per block function, so both paths meet the same vectors.
class Sha1Test : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam() && Sha1BlocksAccelerated() == nullptr) {
      GTEST_SKIP() << "no SHA extensions on this processor";
    }
    previous_ = Sha1UseAccelerated(GetParam());
  }
  void TearDown() override { Sha1UseAccelerated(previous_); }

 private:
  bool previous_ = false;
};

std::string PathName(const ::testing::TestParamInfo<bool>& path) {
  return path.param ? "Accelerated" : "Portable";
}

INSTANTIATE_TEST_SUITE_P(Paths, Sha1Test, ::testing::Values(false, true), PathName);

TEST_P(Sha1Test, MatchesFipsVectors) {
  EXPECT_EQ(HashOf("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(HashOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  std::string million(1000000, 'a');
  EXPECT_EQ(HashOf(million), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST_P(Sha1Test, HashesEmptyInput) {
  EXPECT_EQ(HashOf(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

// Lengths where the padding and the length field change blocks.
TEST_P(Sha1Test, HashesLengthsAroundBlockBoundaries) {
  EXPECT_EQ(HashOf(std::string(55, 'a')), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
  EXPECT_EQ(HashOf(std::string(56, 'a')), "c2db330f6083854c99d4b5bfb6e8f29f201be699");
  EXPECT_EQ(HashOf(std::string(63, 'a')), "03f09f5b158a7a8cdad920bddc29b81c18a551f5");
  EXPECT_EQ(HashOf(std::string(64, 'a')), "0098ba824b5c16427bd7a1122a5a442a25ec644d");
  EXPECT_EQ(HashOf(std::string(65, 'a')), "11655326c708d70319be2610e8a57d9a5b959d3b");
}

TEST_P(Sha1Test, IgnoresZeroAndNegativeLengths) {
  Sha1Context context;
  Sha1Init(&context);
  Sha1Update(&context, "ab", 2);
  Sha1Update(&context, "xyz", 0);
  Sha1Update(&context, "xyz", -1);
  Sha1Update(&context, nullptr, INT32_MIN);
  Sha1Update(&context, "c", 1);
  uint8_t digest[SHA1_DIGEST_SIZE];
  Sha1Final(&context, digest);
  EXPECT_EQ(Hex(digest), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

// The bit count is two words; crossing 2^32 bits (512 MiB) must carry into the high one.
TEST_P(Sha1Test, CarriesTheBitCountIntoTheHighWord) {
  Sha1Context context;
  Sha1Init(&context);
  context.count[0] = 0xFFFFFE00;  // whole blocks, 64 bytes short of the carry
  uint8_t bytes[70] = {};
  Sha1Update(&context, bytes, 70);
  EXPECT_EQ(context.count[1], 1u);
  EXPECT_EQ(context.count[0], 0x30u);
}

TEST_P(Sha1Test, AnySplitGivesTheDigestOfTheWhole) {
  std::mt19937 random(1234);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> data = RandomBytes(random, random() % 1000);
    std::string expected = HashInOne(data.data(), data.size());
    Sha1Context context;
    Sha1Init(&context);
    size_t done = 0;
    while (done < data.size()) {
      // Mostly short pieces, so that partial blocks are filled in every way.
      size_t piece = random() % 8 == 0 ? random() % 300 : random() % 70;
      if (piece > data.size() - done) piece = data.size() - done;
      Sha1Update(&context, data.data() + done, static_cast<int32_t>(piece));
      done += piece;
    }
    uint8_t digest[SHA1_DIGEST_SIZE];
    Sha1Final(&context, digest);
    ASSERT_EQ(Hex(digest), expected) << "size " << data.size() << ", round " << round;
  }
}

TEST(Sha1BlocksTest, AcceleratedMatchesPortable) {
  Sha1BlockFunction accelerated = Sha1BlocksAccelerated();
  if (accelerated == nullptr) GTEST_SKIP() << "no SHA extensions on this processor";
  std::mt19937 random(99);
  for (size_t blocks = 0; blocks <= 40; ++blocks) {
    std::vector<uint8_t> data = RandomBytes(random, blocks * SHA1_BLOCK_SIZE);
    uint32_t portable[5];
    for (auto& word : portable) word = static_cast<uint32_t>(random());
    uint32_t fast[5];
    std::copy(portable, portable + 5, fast);
    Sha1BlocksPortable(portable, data.data(), blocks);
    accelerated(fast, data.data(), blocks);
    ASSERT_TRUE(std::equal(portable, portable + 5, fast)) << blocks << " blocks";
  }
}

TEST(Sha1BlocksTest, ForcingThePortablePathReportsThePreviousChoice) {
  bool had_accelerated = Sha1BlocksAccelerated() != nullptr;
  bool original = Sha1UseAccelerated(false);
  EXPECT_FALSE(Sha1UseAccelerated(true));
  EXPECT_EQ(Sha1UseAccelerated(false), had_accelerated);
  Sha1UseAccelerated(original);
}

}  // namespace
