#include "app/channel_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

ChannelBlock FreeBlock() {
  ChannelBlock block;
  memset(&block, 0xAB, sizeof(block));
  block.length = 0;
  return block;
}

TEST(ChannelBlockTest, PutTakeRelease) {
  ChannelBlock block = FreeBlock();
  ASSERT_TRUE(PutChannelText(&block, "repeat D:\\Apps"));
  EXPECT_EQ(block.length, 15u);
  // A pending text is not overwritten: the later one is dropped.
  EXPECT_FALSE(PutChannelText(&block, "repeat"));
  const char* text = TakeChannelText(&block);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "repeat D:\\Apps");
  ReleaseChannelText(&block);
  EXPECT_EQ(TakeChannelText(&block), nullptr);
  EXPECT_TRUE(PutChannelText(&block, "repeat"));
  EXPECT_STREQ(TakeChannelText(&block), "repeat");
}

TEST(ChannelBlockTest, LongTextsAreCutAtACharacterBoundary) {
  std::string fits(kMaxChannelTextBytes, 'a');
  EXPECT_EQ(FitChannelText(fits.c_str()), 114u);
  EXPECT_EQ(FitChannelText((fits + "b").c_str()), 114u);

  // A two-byte character at bytes 113..114 does not fit: cut before it.
  std::string twoByte = std::string(113, 'a') + "\xC3\xA9" + "zz";
  EXPECT_EQ(FitChannelText(twoByte.c_str()), 113u);
  // A three-byte character at 112..114: cut before it too.
  std::string threeByte = std::string(112, 'a') + "\xE2\x82\xAC" + "zz";
  EXPECT_EQ(FitChannelText(threeByte.c_str()), 112u);
  // Ending exactly at the limit, it stays.
  std::string ends = std::string(111, 'a') + "\xE2\x82\xAC" + "z";
  EXPECT_EQ(FitChannelText(ends.c_str()), 114u);

  ChannelBlock block = FreeBlock();
  std::string huge(1000, 'x');
  ASSERT_TRUE(PutChannelText(&block, huge.c_str()));
  EXPECT_EQ(block.length, 115u);
  EXPECT_EQ(static_cast<unsigned char>(block.text[115]), 0xABu);  // left for the receiver
  EXPECT_EQ(strlen(TakeChannelText(&block)), 114u);
}

TEST(ChannelBlockTest, ReceiverNeverLeavesTheBlock) {
  // Whatever another process wrote as length, the text ends inside the field.
  for (uint32_t length : {116u, 117u, 1000u, 0xFFFFFFFFu}) {
    ChannelBlock block = FreeBlock();
    block.length = length;
    const char* text = TakeChannelText(&block);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(strlen(text), 115u) << length;
  }
  // A length of 115 is the largest the field holds: terminated at its end.
  ChannelBlock block = FreeBlock();
  block.length = 115;
  EXPECT_EQ(strlen(TakeChannelText(&block)), 115u);
}

}  // namespace
