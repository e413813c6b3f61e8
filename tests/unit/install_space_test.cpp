// The install's plan before it writes: the room it needs at its worst
// moment, the words for sizes, the names of its temporary files, and the
// list a user is shown of files left out.
#include "installer/install_space.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "installer/install_report.h"
#include "installer/removal_plan.h"
#include "platform/input_file.h"
#include "platform/temporary_name.h"
#include "test_support.h"

namespace {

struct SpaceCase {
  const char* name;
  uint64_t cluster;
  std::vector<std::pair<uint64_t, uint64_t>> files;  // new bytes, old bytes
  uint64_t peak;
};

const SpaceCase kSpaceCases[] = {
    {"nothing to write", 4096, {}, 0},
    {"new files add up in whole clusters", 4096, {{1, 0}, {4096, 0}, {4097, 0}, {0, 0}}, 16384},
    // The old copy stays until the new one is whole: replacing 10 by 10
    // still takes 10 at that moment.
    {"a replaced file needs its own size once", 1, {{10, 10}}, 10},
    {"what earlier replacements freed is used by later files", 1, {{2, 10}, {9, 0}}, 2},
    {"the peak can come early", 1, {{100, 0}, {1, 500}, {50, 0}}, 101},
    {"growing files", 1, {{20, 10}, {20, 10}}, 30},
    {"a volume that gives no cluster counts bytes", 0, {{3, 0}, {4, 1}}, 7},
    // Sizes no volume holds neither wrap to nothing nor overflow the sums.
    {"files past any volume", 4096, {{1, ~uint64_t{0}}, {5000, uint64_t{1} << 63}, {2, 0}}, 4096},
};

TEST(InstallSpaceTest, PeakOfWhatTheInstallTakes) {
  for (const SpaceCase& c : kSpaceCases) {
    SpaceNeed need(c.cluster);
    for (const auto& [written, replaced] : c.files) need.Add(written, replaced);
    EXPECT_EQ(need.Peak(), c.peak) << c.name;
  }
}

TEST(InstallSpaceTest, SizesInWordsNeverSmallerThanTheyAre) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0 bytes"},
      {1023, "1023 bytes"},
      {1024, "1.0 KB"},
      {1025, "1.1 KB"},
      {1048575, "1024.0 KB"},
      {1048576, "1.0 MB"},
      {uint64_t{5} << 30, "5.0 GB"},
      {uint64_t{3} << 50, "3072.0 TB"},
  };
  for (const auto& [bytes, words] : cases) EXPECT_EQ(Narrow(FormatByteCount(bytes)), words);
  EXPECT_EQ(Narrow(NotEnoughSpaceText(u"Q:\\app", 2 << 20, 1 << 20)),
            "There is not enough free space for the installation in Q:\\app: it needs 2.0 MB and "
            "1.0 MB are free. Please choose another folder.");
}

TEST(InstallSpaceTest, TemporaryNamesAreOursAlone) {
  EXPECT_EQ(Narrow(TemporaryFileName(0xC0FFEE)), "~setup00c0ffee.tmp");
  EXPECT_EQ(Narrow(PendingFileName(0xFFFFFFFF)), "~setupffffffff.pending");
  EXPECT_TRUE(IsTemporaryFileName(TemporaryFileName(0x90AF1234)));
  for (const char16_t* name :
       {u"~setup00c0ffe.tmp", u"~setup00C0FFEE.tmp", u"~setup00c0ffee.tm", u"~setup00c0ffeg.tmp",
        u"~setup00c0ffee.pending", u"setup.tmp", u"~setup12345678.txt", u"-setup12345678.tmp"}) {
    EXPECT_FALSE(IsTemporaryFileName(name)) << Narrow(name);
  }
}

TEST(InstallSpaceTest, SummaryNamesTheFirstFewAndCountsTheRest) {
  FileList failed;
  FileList later;
  EXPECT_EQ(SummaryText(failed, later), u"");
  for (char16_t i = u'0'; i <= u'9'; ++i) failed.Add(std::u16string{u'f', i});
  later.Add(u"bin\\app.exe");
  const std::string text = Narrow(SummaryText(failed, later));
  EXPECT_EQ(text.substr(0, 49), "These files could not be installed:\n    f0\n    f1");
  EXPECT_NE(text.find("    f7\n    and 2 more\n\nThese files will be replaced when Windows "
                      "restarts:\n    bin\\app.exe"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("f8"), std::string::npos);
  EXPECT_EQ(Narrow(RemovalSummaryText(later)),
            "These files could not be removed:\n    bin\\app.exe\n\nClose the programs that use "
            "them and uninstall again to finish.");
}

std::u16string AsciiUpper(std::u16string_view path) {
  std::u16string folded(path);
  for (char16_t& c : folded) c = (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
  return folded;
}

// Reads a tree section built in memory as an uninstaller's record.
struct Record {
  explicit Record(const TreeSection& section) : bytes(section.Build()) {
    MemoryInputFile input(bytes.data(), bytes.size());
    EXPECT_TRUE(OpenPackageTree(input, 0, &tree));
  }
  Bytes bytes;
  PackageTree tree;
};

// What goes: every file the record lists but the uninstaller itself and,
// for an upgrade, what the new version brings again under any letter case;
// folders deepest first. Unsafe names never come out.
TEST(InstallSpaceTest, RemovalPlanNamesOnlyRecordedFiles) {
  TreeSection old;
  old.File("uninstall.exe", {}).File("app.exe", {}).File("README.txt", {});
  old.Dir("docs").File("a.txt", {}).Dir("deep").File("b.txt", {}).End().End();
  old.Dir("..").File("escape.txt", {}).End().Dir("plugins").File("old.dll", {}).End();
  TreeSection next;
  next.File("uninstall.exe", {}).File("app.exe", {}).File("readme.TXT", {});
  next.Dir("DOCS").File("a.txt", {}).End();
  const Record record(old);
  const Record kept(next);

  const RemovalPlan all = PlanRemoval(record.tree, nullptr, 10, u"uninstall.exe", AsciiUpper);
  EXPECT_EQ(all.files, (std::vector<std::u16string>{u"app.exe", u"README.txt", u"docs\\a.txt",
                                                    u"docs\\deep\\b.txt", u"plugins\\old.dll"}));
  EXPECT_EQ(all.folders, (std::vector<std::u16string>{u"plugins", u"docs\\deep", u"docs"}));

  const RemovalPlan upgrade = PlanRemoval(record.tree, &kept.tree, 10, u"", AsciiUpper);
  EXPECT_EQ(upgrade.files,
            (std::vector<std::u16string>{u"docs\\deep\\b.txt", u"plugins\\old.dll"}));
  EXPECT_EQ(upgrade.folders, (std::vector<std::u16string>{u"plugins", u"docs\\deep"}));
}

}  // namespace
