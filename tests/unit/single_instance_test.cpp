#include "app/single_instance.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_support.h"

namespace {

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }
std::string Named(const std::string& bytes) {
  return "Global_" + Hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// The name is the path's UTF-8 bytes in hexadecimal; from the 33rd byte on,
// each is folded into the one 32 before it.
TEST(InstanceNameTest, WorkedExamplesAndTheFold) {
  const std::string path32 = "C:\\" + std::string(25, 'a') + ".exe";
  std::string folded = path32;
  folded[0] ^= 'x';
  const std::pair<std::u16string, std::string> cases[] = {
      {u"C:\\S.exe", "Global_433a5c532e657865"},
      {u"C:\\Users\\Public\\Downloads\\setup_package.exe",
       "Global_335b3f3e1202175d392810626c69635c446f776e6c6f6164735c73657475705f"},
      {u"C:\\\u00e9", "Global_433a5cc3a9"},
      {Ascii(path32.substr(1)), Named(path32.substr(1))},
      {Ascii(path32), Named(path32)},
      {Ascii(path32 + "x"), Named(folded)},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(Narrow(InstanceName(path)), name);
  EXPECT_EQ(InstanceBlockName(InstanceName(u"C:\\S.exe")), u"Global_433a5c532e657865_MEM");
  // Copies at different paths differ, also when only the end differs.
  std::u16string base = u"C:\\Users\\Public\\Downloads\\setup";
  EXPECT_NE(InstanceName(base + u"1.exe"), InstanceName(base + u"2.exe"));
  EXPECT_EQ(InstanceName(u""), kUnknownPathInstanceName);
}

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
  const std::string continuation(10, '\x80');
  const struct {
    std::string text;
    size_t fits;
  } cases[] = {
      {std::string(kMaxChannelTextBytes, 'a'), 114},
      {std::string(115, 'a'), 114},
      // A two-byte character at bytes 113..114 does not fit: cut before it.
      {std::string(113, 'a') + "\xC3\xA9" + "zz", 113},
      // A three-byte character at 112..114: cut before it too.
      {std::string(112, 'a') + "\xE2\x82\xAC" + "zz", 112},
      // Ending exactly at the limit, it stays.
      {std::string(111, 'a') + "\xE2\x82\xAC" + "z", 114},
      // The longest sequence, a lead and five continuation bytes up to the
      // limit: cut before its lead.
      {std::string(109, 'a') + "\xFC" + continuation, 109},
      // More continuation bytes than any sequence has: ill-formed, cut at the
      // limit rather than searched further back.
      {std::string(109, 'a') + continuation, 114},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FitChannelText(c.text.c_str()), c.fits) << c.text.size() << " bytes";
  }

  ChannelBlock block = FreeBlock();
  std::string huge(1000, 'x');
  ASSERT_TRUE(PutChannelText(&block, huge.c_str()));
  EXPECT_EQ(block.length, 115u);
  EXPECT_EQ(static_cast<unsigned char>(block.text[115]), 0xABu);  // left for the receiver
  EXPECT_EQ(strlen(TakeChannelText(&block)), 114u);
}

TEST(ChannelBlockTest, ReceiverNeverLeavesTheBlock) {
  // Whatever another process wrote as length, the text ends inside the field;
  // 115 is the largest length the field holds.
  for (uint32_t length : {115u, 116u, 117u, 1000u, 0xFFFFFFFFu}) {
    ChannelBlock block = FreeBlock();
    block.length = length;
    const char* text = TakeChannelText(&block);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(strlen(text), 115u) << length;
  }
}

}  // namespace
