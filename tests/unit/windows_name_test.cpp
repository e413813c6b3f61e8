#include "platform/windows_name.h"

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "unsafe_names.h"

TEST(WindowsNameTest, RefusesWhatWindowsCannotHoldAsNamed) {
  for (const UnsafeName& name : kUnsafeNames) {
    EXPECT_EQ(CheckFileName(Utf8ToWide(name.bytes)), name.problem) << name.bytes;
  }
  EXPECT_EQ(CheckFileName(std::u16string(u"a\0b", 3)), FILE_NAME_CONTROL);
}

TEST(WindowsNameTest, AcceptsOrdinaryNames) {
  for (const char16_t* name :
       {u"a", u"setup.exe", u".hidden", u"a b", u"x..y", u"con_", u"cons", u"com0", u"com10",
        u"lpt", u"nul_.txt", u"\u00E9t\u00E9", u"\u00A0lead", u"concat.txt", u"COM\u00B4"}) {
    EXPECT_TRUE(IsSafeFileName(name)) << std::u16string(name).size();
  }
}
