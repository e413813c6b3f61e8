#include "package/sha1.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "test_support.h"

namespace {

// Every case runs once per block function, so both meet the same vectors.
class Sha1Test : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam() && Sha1BlocksAccelerated() == nullptr) GTEST_SKIP() << "no SHA extensions";
    previous_ = Sha1UseAccelerated(GetParam());
  }
  void TearDown() override { Sha1UseAccelerated(previous_); }
  bool previous_ = false;
};

INSTANTIATE_TEST_SUITE_P(Paths, Sha1Test, ::testing::Values(false, true),
                         [](const auto& path) { return path.param ? "Accelerated" : "Portable"; });

TEST_P(Sha1Test, MatchesFipsVectorsAndLengthsAroundTheBlockBoundary) {
  const std::pair<std::string, const char*> cases[] = {
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      // Where the padding and the length field change blocks.
      {std::string(55, 'a'), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
      {std::string(56, 'a'), "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
      {std::string(63, 'a'), "03f09f5b158a7a8cdad920bddc29b81c18a551f5"},
      {std::string(64, 'a'), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
      {std::string(65, 'a'), "11655326c708d70319be2610e8a57d9a5b959d3b"},
  };
  for (const auto& [data, digest] : cases) EXPECT_EQ(Sha1Hex(data), digest) << data.size();
}

TEST_P(Sha1Test, AnySplitGivesTheDigestOfTheWholeAndEmptyPiecesAddNothing) {
  std::mt19937 random(1234);
  for (int round = 0; round < 200; ++round) {
    const Bytes bytes = RandomBytes(random() % 1000, static_cast<uint32_t>(random()));
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    Sha1Context context;
    Sha1Init(&context);
    for (size_t done = 0; done < data.size();) {
      // Mostly short pieces, so that partial blocks are filled in every way.
      size_t size = random() % 8 == 0 ? random() % 300 : random() % 70;
      size = std::min(size, data.size() - done);
      Sha1Update(&context, data.data() + done, static_cast<int32_t>(size));
      for (int32_t length : {0, -1, INT32_MIN}) Sha1Update(&context, "xyz", length);
      done += size;
    }
    uint8_t digest[SHA1_DIGEST_SIZE];
    Sha1Final(&context, digest);
    ASSERT_EQ(Hex(digest, sizeof digest), Sha1Hex(data))
        << "size " << data.size() << ", round " << round;
  }
}

// The bit count is two words; crossing 2^32 bits (512 MiB) carries into the high one.
TEST_P(Sha1Test, CarriesTheBitCountIntoTheHighWord) {
  Sha1Context context;
  Sha1Init(&context);
  context.count[0] = 0xFFFFFE00;  // whole blocks, 64 bytes short of the carry
  const uint8_t bytes[70] = {};
  Sha1Update(&context, bytes, 70);
  EXPECT_EQ(context.count[1], 1u);
  EXPECT_EQ(context.count[0], 0x30u);
}

TEST(Sha1BlocksTest, AcceleratedMatchesPortableAndTheChoiceCanBeForced) {
  const bool hadAccelerated = Sha1BlocksAccelerated() != nullptr;
#ifdef __linux__
  // The processor check agrees with the kernel's.
  std::ifstream cpuinfo("/proc/cpuinfo");
  const std::string flags{std::istreambuf_iterator<char>(cpuinfo), {}};
  EXPECT_EQ(hadAccelerated, flags.find(" sha_ni") != std::string::npos);
#endif
  const bool original = Sha1UseAccelerated(false);
  EXPECT_FALSE(Sha1UseAccelerated(true));
  EXPECT_EQ(Sha1UseAccelerated(false), hadAccelerated);
  Sha1UseAccelerated(original);
  if (!hadAccelerated) GTEST_SKIP() << "no SHA extensions on this processor";
  for (size_t blocks = 0; blocks <= 40; ++blocks) {
    const Bytes data = RandomBytes(blocks * SHA1_BLOCK_SIZE, static_cast<uint32_t>(blocks));
    uint32_t portable[5] = {1, 22, 333, 4444, static_cast<uint32_t>(blocks)};
    uint32_t fast[5];
    std::copy(portable, portable + 5, fast);
    Sha1BlocksPortable(portable, data.data(), blocks);
    Sha1BlocksAccelerated()(fast, data.data(), blocks);
    ASSERT_TRUE(std::equal(portable, portable + 5, fast)) << blocks << " blocks";
  }
}

}  // namespace
