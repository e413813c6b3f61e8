// The one UTF-8 decoder read both ways, the sized conversions, and the rule
// for names a Windows file system holds.
#include "base/utf8.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/windows_name.h"
#include "unsafe_names.h"

namespace {

// The same bytes read both ways: as the stub reads a script or a name, and
// where the first byte lies that strict UTF-8 refuses.
struct Reading {
  std::string bytes;
  std::u16string stub;
  size_t firstInvalid;  // bytes.size() when all of it is well-formed
};

std::u16string Unit(char16_t unit) { return std::u16string(1, unit); }

const Reading kReadings[] = {
    {"a\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF", u"a\u00E9\u20AC\uFFFF", 9},
    {"\xF0\x9F\x98\x80", Unit(0xF600), 4},  // U+1F600: the stub keeps the low 16 bits
    {"ok \xC3\xA9 then \xC0\xAF", u"ok \u00E9 then /", 11},
    {"\x80", u"", 0},                   // a stray continuation byte
    {"\xC3\x41", u"A", 0},              // the A is read again as a lead byte
    {"\xE2\x28\xA1", u"(", 0},          // a continuation missing in the middle
    {"a\xC3", u"a", 1},                 // cut short by the end
    {"\xE2\x82", u"", 0},               //
    {"\xC1\x81", u"A", 0},              // overlong forms are not refused by the stub
    {"\xE0\x80\xAF", u"/", 0},          //
    {"\xF0\x80\x80\xAF", u"/", 0},      //
    {"\xED\xA0\x80", Unit(0xD800), 0},  // surrogates
    {"\xED\xBF\xBF", Unit(0xDFFF), 0},  //
    {"\xF4\x90\x80\x80", u"", 0},       // past U+10FFFF; its low 16 bits are zero
    {"\xF5\x80\x80\x81", Unit(1), 0},   // a lead that can never start a sequence
    {"\xFE\x41\xFF", u"A", 0},
    {"\xF8\x88\x80\x80\x80"
     "b",
     u"b", 0},                                      // 0x200000: five bytes, low bits zero
    {"\xFD\xBF\xBF\xBF\xBF\xBF", Unit(0xFFFF), 0},  // 0x7FFFFFFF
};

TEST(Utf8Test, EachReadingOfTheSameBytes) {
  for (const Reading& r : kReadings) {
    EXPECT_EQ(Utf8ToWide(r.bytes), r.stub) << r.bytes;
    EXPECT_EQ(FindInvalidUtf8(r.bytes.data(), r.bytes.size()), r.firstInvalid) << r.bytes;
  }
  char32_t c = 0;
  EXPECT_EQ(DecodeUtf8CodePoint("\xF0\x9F\x98\x80", 4, &c), 4u);
  EXPECT_EQ(c, U'\U0001F600');
  EXPECT_EQ(DecodeUtf8CodePoint("\xC3\xA9", 1, &c), 0u);
  EXPECT_EQ(DecodeUtf8CodePoint("", 0, &c), 0u);
}

TEST(Utf8Test, TheStubsCursorStopsBeforeAByteThatDoesNotContinue) {
  const uint8_t bytes[] = {0xE2, 0x82, 0x41, 0xF0, 0x9F, 0x98};
  const uint8_t* cursor = bytes;
  EXPECT_EQ(DecodeUtf8Char(&cursor, bytes + 6), 0u);
  EXPECT_EQ(cursor, bytes + 2);
  EXPECT_EQ(DecodeUtf8Char(&cursor, bytes + 6), 0x41u);
  EXPECT_EQ(DecodeUtf8Char(&cursor, bytes + 6), 0u);  // never past the end
  EXPECT_EQ(cursor, bytes + 6);
}

TEST(Utf8Test, SizedConversionsStopAtNulOrLengthAndCutToCapacity) {
  char16_t out[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(Utf8ToWide(out, 8, "ab\0cd", 5), 2u);
  EXPECT_EQ(std::u16string(out), u"ab");
  EXPECT_EQ(Utf8ToWide(out, 8, "x\xC3\xA9", 2), 1u);  // a sequence cut by the length
  EXPECT_EQ(std::u16string(out), u"x");
  EXPECT_EQ(Utf8ToWide(out, 8, nullptr), 0u);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(Utf8ToWide(out, 3, "abcdef"), 6u);
  EXPECT_EQ(std::u16string(out), u"ab");
  EXPECT_EQ(out[3], 1);  // untouched past the capacity
  EXPECT_EQ(Utf8ToWide(out, 0, "xyz"), 3u);
  EXPECT_EQ(out[0], u'a');

  char bytes[5] = {1, 1, 1, 1, 1};
  EXPECT_EQ(WideToUtf8(bytes, 4, nullptr), 0u);
  EXPECT_EQ(bytes[0], 0);
  // The euro sign does not fit in the two bytes left before the NUL, and
  // the "b" behind it is not written either: whole sequences only.
  EXPECT_EQ(WideToUtf8(bytes, 4, u"a\u20ACb"), 5u);
  EXPECT_EQ(std::string(bytes), "a");
  EXPECT_EQ(WideToUtf8(bytes, 5, u"ab\u00E9c"), 5u);
  EXPECT_EQ(std::string(bytes), "ab\xC3\xA9");
  EXPECT_EQ(WideToUtf8(bytes, 1, u"abc"), 3u);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(WideToUtf8(bytes, 5, u"abc", 2), 2u);  // never a unit past the length
  EXPECT_EQ(std::string(bytes), "ab");
}

TEST(Utf8Test, WideTextToUtf8UnitByUnitOrAsUtf16) {
  const std::u16string text = u"Programme \u00FC\u00DF \u20AC \u4E2D\u6587 \u07FF\u0800";
  EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
  EXPECT_EQ(Utf16ToUtf8(text), WideToUtf8(text));
  // The stub's texts keep each half of a pair; a file name joins them, and
  // a lone half becomes U+FFFD.
  EXPECT_EQ(WideToUtf8(u"\U0001F600"), "\xED\xA0\xBD\xED\xB8\x80");
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b', 0xDC00}),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
}

TEST(WindowsNameTest, RefusesWhatWindowsCannotHoldAsNamed) {
  for (const UnsafeName& name : kUnsafeNames) {
    EXPECT_EQ(CheckFileName(Utf8ToWide(name.bytes)), name.problem) << name.bytes;
  }
  EXPECT_EQ(CheckFileName(std::u16string(u"a\0b", 3)), FILE_NAME_CONTROL);
}

TEST(WindowsNameTest, AcceptsOrdinaryNames) {
  for (const char16_t* name : {u"a", u"setup.exe", u".hidden", u"a b", u"x..y", u"con_", u"cons",
                               u"com0", u"com10", u"lpt", u"nul_.txt", u"conin", u"conout$x",
                               u"\u00E9t\u00E9", u"\u00A0lead", u"concat.txt", u"COM\u00B4"}) {
    EXPECT_TRUE(IsSafeFileName(name)) << std::u16string(name).size();
  }
}

}  // namespace
