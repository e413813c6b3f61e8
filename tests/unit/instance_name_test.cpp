#include "app/instance_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

TEST(InstanceNameTest, WorkedExamples) {
  EXPECT_EQ(InstanceName(u"C:\\S.exe"), u"Global_433a5c532e657865");
  EXPECT_EQ(InstanceBlockName(InstanceName(u"C:\\S.exe")), u"Global_433a5c532e657865_MEM");
  // 43 bytes: the last 11 are folded into the first 11.
  EXPECT_EQ(InstanceName(u"C:\\Users\\Public\\Downloads\\setup_package.exe"),
            u"Global_335b3f3e1202175d392810626c69635c446f776e6c6f6164735c73657475705f");
}

TEST(InstanceNameTest, FoldsOnlyFrom33Bytes) {
  std::string path31 = "C:\\" + std::string(24, 'a') + ".exe";
  ASSERT_EQ(path31.size(), 31u);
  std::u16string name31 = InstanceName(Ascii(path31));
  EXPECT_EQ(name31.size(), 7u + 62u);
  EXPECT_EQ(name31.substr(name31.size() - 8), u"2e657865");  // ".exe" kept as is

  std::string path32 = "C:\\" + std::string(25, 'a') + ".exe";
  std::u16string name32 = InstanceName(Ascii(path32));
  EXPECT_EQ(name32.size(), 7u + 64u);
  EXPECT_EQ(name32.substr(7, 6), u"433a5c");
  EXPECT_EQ(name32.substr(name32.size() - 8), u"2e657865");

  // The 33rd byte lands on the first: 'C' ^ 'x' = 0x3b.
  std::u16string name33 = InstanceName(Ascii(path32 + "x"));
  EXPECT_EQ(name33.size(), 7u + 64u);
  EXPECT_EQ(name33.substr(7, 6), u"3b3a5c");
  EXPECT_EQ(name33.substr(13), name32.substr(13));
}

TEST(InstanceNameTest, KeysOnTheUtf8Bytes) {
  EXPECT_EQ(InstanceName(u"C:\\\u00e9"), u"Global_433a5cc3a9");
  // Copies at different paths differ, also when only the end differs.
  std::u16string base = u"C:\\Users\\Public\\Downloads\\setup";
  EXPECT_NE(InstanceName(base + u"1.exe"), InstanceName(base + u"2.exe"));
  EXPECT_EQ(InstanceName(u""), kUnknownPathInstanceName);
}

}  // namespace
