#include "script/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Decode(const std::string& bytes) { return Utf8ToWide(bytes); }

TEST(Utf8ToWideTest, FollowsTheDecodingTable) {
  EXPECT_EQ(Decode("\xC3\xA9"), u"\u00E9");
  EXPECT_EQ(Decode("\xE2\x82\xAC"), u"\u20AC");
  EXPECT_EQ(Decode("\xC3\x41"), u"A");  // the A is read again as a lead byte
  EXPECT_EQ(Decode("\x80"), u"");
  EXPECT_EQ(Decode("\xF0\x9F\x98\x80"), std::u16string(1, char16_t{0xF600}));
  EXPECT_EQ(Decode("\xED\xA0\x80"), std::u16string(1, char16_t{0xD800}));
  EXPECT_EQ(Decode("\xFE\x41"), u"A");
  EXPECT_EQ(Decode("\xFF\xFF"), u"");
  EXPECT_EQ(Decode("\xC1\x81"), u"A");  // overlong forms are not refused
}

TEST(Utf8ToWideTest, LongSequencesKeepTheirLow16Bits) {
  // F8 88 80 80 80 = 0x200000: low 16 bits zero, so nothing is stored.
  EXPECT_EQ(Decode("\xF8\x88\x80\x80\x80"
                   "b"),
            u"b");
  // FD BF BF BF BF BF = 0x7FFFFFFF.
  EXPECT_EQ(Decode("\xFD\xBF\xBF\xBF\xBF\xBF"), std::u16string(1, char16_t{0xFFFF}));
}

TEST(DecodeUtf8CharTest, LeavesTheCursorOnAByteThatDoesNotContinue) {
  const uint8_t bytes[] = {0xE2, 0x82, 0x41};
  const uint8_t* cursor = bytes;
  EXPECT_EQ(DecodeUtf8Char(&cursor, bytes + 3), 0u);
  EXPECT_EQ(cursor, bytes + 2);
  EXPECT_EQ(DecodeUtf8Char(&cursor, bytes + 3), 0x41u);
}

TEST(DecodeUtf8CharTest, NeverReadsPastTheEnd) {
  const uint8_t bytes[] = {0xF0, 0x9F, 0x98};
  const uint8_t* cursor = bytes;
  EXPECT_EQ(DecodeUtf8Char(&cursor, bytes + 3), 0u);
  EXPECT_EQ(cursor, bytes + 3);
}

TEST(Utf8ToWideTest, StopsAtNulOrLength) {
  char16_t out[8];
  EXPECT_EQ(Utf8ToWide(out, 8, "ab\0cd", 5), 2u);
  EXPECT_EQ(std::u16string(out), u"ab");
  // A sequence cut by the length is dropped, not read beyond.
  EXPECT_EQ(Utf8ToWide(out, 8, "x\xC3\xA9", 2), 1u);
  EXPECT_EQ(std::u16string(out), u"x");
  EXPECT_EQ(Utf8ToWide(out, 8, nullptr), 0u);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(Utf8ToWide(out, 8, ""), 0u);
  EXPECT_EQ(out[0], 0);
}

TEST(Utf8ToWideTest, CutsToCapacityAndReportsTheFullLength) {
  char16_t out[4] = {1, 1, 1, 1};
  EXPECT_EQ(Utf8ToWide(out, 3, "abcdef"), 6u);
  EXPECT_EQ(std::u16string(out), u"ab");
  EXPECT_EQ(out[3], 1);  // untouched past the capacity
  EXPECT_EQ(Utf8ToWide(out, 0, "abc"), 3u);
  EXPECT_EQ(out[0], u'a');
}

TEST(WideToUtf8Test, EncodesEachUnitOnItsOwn) {
  EXPECT_EQ(WideToUtf8(u"\u00E9"), "\xC3\xA9");
  EXPECT_EQ(WideToUtf8(u"\u20AC"), "\xE2\x82\xAC");
  EXPECT_EQ(WideToUtf8(u""), "");
  // A surrogate pair is not combined: each half becomes three bytes.
  EXPECT_EQ(WideToUtf8(u"\U0001F600"), "\xED\xA0\xBD\xED\xB8\x80");
  char out[4] = {1, 1, 1, 1};
  EXPECT_EQ(WideToUtf8(out, 4, u""), 0u);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(WideToUtf8(out, 4, nullptr), 0u);
}

TEST(WideToUtf8Test, NeverCutsASequenceInHalf) {
  char out[5];
  // "a" fits; the three bytes of the euro sign do not fit in the two left
  // before the NUL, and the "b" after it is not written either.
  EXPECT_EQ(WideToUtf8(out, 4, u"a\u20ACb"), 5u);
  EXPECT_EQ(std::string(out), "a");
  EXPECT_EQ(WideToUtf8(out, 5, u"ab\u00E9c"), 5u);
  EXPECT_EQ(std::string(out), "ab\xC3\xA9");
  EXPECT_EQ(WideToUtf8(out, 1, u"abc"), 3u);
  EXPECT_EQ(out[0], 0);
}

TEST(Utf8RoundTripTest, BmpTextSurvives) {
  const std::u16string text = u"Programme \u00FC\u00DF \u20AC \u4E2D\u6587";
  EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
}

}  // namespace
