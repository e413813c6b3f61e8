// The native tree output on a real file system: links planted in the target
// are never written through, times land on the files, and a whole package
// comes back through the stub's extraction calls, with no temporary file
// left behind; the buffer before each output file makes any failure Close's.
#include "platform/posix/tree_output_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "package/package_reader.h"
#include "package/tree_walker.h"
#include "platform/buffered_output_file.h"
#include "scratch_dir.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr time_t kTimeSeconds = 1667433600;

timespec ModificationTime(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
  return status.st_mtim;
}

struct Collected final : ExtractObserver {
  std::vector<std::pair<ExtractIssue, std::string>> issues;
  void OnIssue(ExtractIssue issue, std::u16string_view, std::string_view name, bool) override {
    issues.emplace_back(issue, std::string(name));
  }
};

ExtractStats Extract(const TreeSection& section, const fs::path& target,
                     ExtractObserver* observer = nullptr) {
  const Bytes file = section.Build();
  MemoryInputFile input(file.data(), file.size());
  std::unique_ptr<TreeOutput> output = OpenNativeTreeOutput(target.c_str());
  ExtractOptions options;
  options.observer = observer;
  return ExtractTree(input, 0, *output, options);
}

TEST(TreeOutputPosixTest, NeverWritesThroughLinksPlantedInTheTarget) {
  ScratchDir scratch;
  const fs::path target = scratch.path() / "target";
  const fs::path outside = scratch.path() / "outside";
  WriteFile(outside / "victim", ToBytes("keep"));
  WriteFile(outside / "hard-victim", ToBytes("keep too"));
  fs::create_directories(target);
  fs::create_directory_symlink(outside, target / "dir-link");
  fs::create_symlink(outside / "victim", target / "file-link");
  fs::create_symlink(outside / "nowhere", target / "dangling");
  fs::create_hard_link(outside / "hard-victim", target / "hard");
  ASSERT_EQ(mkfifo((target / "fifo").c_str(), 0600), 0);
  // What a killed extraction left goes; what only looks like it stays, and
  // so does the old file under a damaged one.
  WriteFile(target / "~setup00c0ffee.tmp", ToBytes("left"));
  WriteFile(target / "~setup00C0FFEE.tmp", ToBytes("not ours"));
  WriteFile(target / "damaged", ToBytes("old"));

  TreeSection section;
  section.Dir("dir-link").File("x", ToBytes("through a link")).End();
  for (const char* name : {"file-link", "dangling", "hard", "fifo", "plain"}) {
    section.File(name, ToBytes(name));
  }
  section.RawFile("damaged", 1000, 0);
  Collected observer;
  const ExtractStats stats = Extract(section, target, &observer);

  EXPECT_FALSE(fs::exists(outside / "x"));
  EXPECT_FALSE(fs::exists(outside / "nowhere"));
  EXPECT_EQ(ReadFile(outside / "victim"), ToBytes("keep"));
  EXPECT_EQ(ReadFile(outside / "hard-victim"), ToBytes("keep too"));
  EXPECT_TRUE(fs::is_symlink(target / "file-link"));
  EXPECT_TRUE(fs::is_symlink(target / "dangling"));
  EXPECT_EQ(ReadFile(target / "hard"), ToBytes("hard"));
  EXPECT_TRUE(fs::is_fifo(target / "fifo"));
  EXPECT_EQ(ReadFile(target / "plain"), ToBytes("plain"));
  EXPECT_NE(ModificationTime(target / "file-link").tv_sec, kTimeSeconds);  // nor its time
  EXPECT_EQ(ReadFile(target / "damaged"), ToBytes("old"));
  EXPECT_FALSE(fs::exists(target / "~setup00c0ffee.tmp"));
  EXPECT_TRUE(fs::exists(target / "~setup00C0FFEE.tmp"));
  EXPECT_EQ(std::distance(fs::directory_iterator(target), fs::directory_iterator()), 8);
  EXPECT_EQ(stats.skipped, 3u);  // dir-link with x, file-link, dangling
  EXPECT_EQ(stats.failed, 2u);   // fifo, damaged
  EXPECT_EQ(stats.filesWritten, 3u);
  for (const auto& [issue, name] : observer.issues) {
    const ExtractIssue expected = name == "fifo"      ? EXTRACT_CREATE_FAILED
                                  : name == "damaged" ? EXTRACT_DATA_CUT_SHORT
                                                      : EXTRACT_LINK_IN_TARGET;
    EXPECT_EQ(issue, expected) << name;
  }
}

// A buffer of 8 bytes before a raw side that takes `writable` bytes and then
// reports none written, and whose close and commit succeed as told.
struct ScriptedFile final : BufferedOutputFile {
  ScriptedFile() : BufferedOutputFile(8) {}
  int64_t WriteSome(const void* data, size_t size) override {
    const size_t taken = std::min(size, writable);
    writable -= taken;
    if (taken != 0) pieces.emplace_back(static_cast<const char*>(data), taken);
    return static_cast<int64_t>(taken);
  }
  bool CloseRaw() override { return closes; }
  bool SetTimeRaw(const EntryTime&) override { return true; }
  bool CommitRaw() override { return committed = commits; }
  void DiscardRaw() override {}

  size_t writable = SIZE_MAX;
  bool closes = true, commits = true, committed = false;
  std::vector<std::string> pieces;  // one per raw write
};

// Small writes gather up to the buffer's size and larger ones go straight
// through; any raw step that fails, the last flush's included, fails Close.
// A closed file takes nothing more and says the same on a second Close.
TEST(BufferedOutputFileTest, GathersSmallWritesAndEveryFailureFailsClose) {
  const std::string large(40, 'L');
  struct Case {
    const char* what;
    std::vector<std::string> writes;
    size_t accepted;  // the first writes succeed
    std::vector<std::string> pieces;
    bool closed;
    size_t writable = SIZE_MAX;
    bool closes = true, commits = true, discard = false;
  } const cases[] = {
      {"gathered", {"abc", "def", "gh", "i"}, 4, {"abcdefgh", "i"}, true},
      {"large", {"ab", large, "c"}, 3, {"ab", large, "c"}, true},
      {"last flush cut short", {"abcdef"}, 1, {"abc"}, false, 3},
      {"flush for a write cut short", {"abcdef", "ghijk"}, 1, {"abc"}, false, 3},
      {"close fails", {"abc"}, 1, {"abc"}, false, SIZE_MAX, false},
      {"commit fails", {"abc"}, 1, {"abc"}, false, SIZE_MAX, true, false},
      {"discarded", {"abc"}, 1, {}, false, SIZE_MAX, true, true, true},
  };
  for (const Case& c : cases) {
    ScriptedFile file;
    file.writable = c.writable, file.closes = c.closes, file.commits = c.commits;
    for (size_t i = 0; i < c.writes.size(); ++i) {
      EXPECT_EQ(file.Write(c.writes[i].data(), c.writes[i].size()), i < c.accepted) << c.what;
    }
    if (c.discard) file.Discard();
    EXPECT_EQ(file.Close(), c.closed) << c.what;
    EXPECT_EQ(file.Close(), c.closed) << c.what;
    EXPECT_EQ(file.pieces, c.pieces) << c.what;
    EXPECT_EQ(file.committed, c.closed) << c.what;
    EXPECT_FALSE(file.Write("x", 1)) << c.what;
    EXPECT_FALSE(file.SetTime(kEntryTime)) << c.what;
  }
}

// The stub's calls on a package file: the whole tree into a folder (a name
// outside ASCII included) with the entries' times where they are valid, and
// one file by its path to a full destination.
TEST(TreeOutputPosixTest, StubCallsExtractAWholePackage) {
  ScratchDir scratch;
  const Bytes text = TextLikeBytes(100000, 1);
  const Bytes noise = RandomBytes(70000, 2);
  TreeSection section;
  section.File("readme.txt", RawDeflate(text), {2001, 9, 9, 1, 46, 40, 12}, ENTRY_COMPRESSED);
  section.File("bad", ToBytes("b"), {2022, 2, 30, 0, 0, 0, 0});
  section.Dir("d\xC3\xA9j\xC3\xA0").File("vu.txt", ToBytes("accents")).End();
  section.Dir("bin").File("tool.exe", noise).File("empty.txt", {}).End();
  section.Dir("nothing").Dir("here").End().End().End(ENTRY_END);
  const fs::path setup = scratch.path() / "setup.exe";
  WriteFile(setup, AssemblePackage(FakeStub(), 0, ToBytes("[locale]\r\n"), section.Build()));

  PackageInfo info;
  std::unique_ptr<InputFile> package = OpenPackageFile(setup.u16string().c_str());
  ASSERT_TRUE(package);
  ASSERT_EQ(ReadPackageFrom(*package, &info), PACKAGE_VERIFIED);
  const fs::path target = scratch.path() / "target";
  std::unique_ptr<TreeOutput> output = OpenTreeOutput(target.u16string().c_str());
  const ExtractStats stats = ExtractTree(*package, info.treeOffset, *output, ExtractOptions());
  EXPECT_TRUE(stats.Clean());
  EXPECT_EQ(stats.filesWritten, 5u);
  EXPECT_EQ(ReadFile(target / "readme.txt"), text);
  EXPECT_EQ(ReadFile(target / "d\xC3\xA9j\xC3\xA0" / "vu.txt"), ToBytes("accents"));
  EXPECT_EQ(ReadFile(target / "bin" / "tool.exe"), noise);
  EXPECT_TRUE(fs::is_regular_file(target / "bin" / "empty.txt"));
  EXPECT_TRUE(fs::is_directory(target / "nothing" / "here"));
  const timespec time = ModificationTime(target / "readme.txt");
  EXPECT_EQ(time.tv_sec, 1000000000);
  EXPECT_EQ(time.tv_nsec, 120000000);
  EXPECT_EQ(ModificationTime(target / "bin" / "tool.exe").tv_sec, kTimeSeconds);
  EXPECT_GT(ModificationTime(target / "bad").tv_sec, kTimeSeconds);
  const std::u16string byPath = (target / "bad").u16string();
  EXPECT_TRUE(SetFileTimeFromEntry(kEntryTime, byPath.c_str()));
  EXPECT_EQ(ModificationTime(target / "bad").tv_sec, kTimeSeconds);
  EXPECT_FALSE(SetFileTimeFromEntry({2022, 13, 1, 0, 0, 0, 0}, byPath.c_str()));

  std::unique_ptr<TreeOutput> folder = OpenTreeOutput(scratch.path().u16string().c_str());
  EXPECT_TRUE(FindAndExtractFile(*package, info.treeOffset, u"bin\\tool.exe", *folder, u"pic"));
  EXPECT_EQ(ReadFile(scratch.path() / "pic"), noise);
  fs::remove(scratch.path() / "pic");
  EXPECT_FALSE(FindAndExtractFile(*package, info.treeOffset, u"bin/tool.exe", *folder, u"pic"));
  EXPECT_FALSE(fs::exists(scratch.path() / "pic"));
  // A read that fails ends the read: a folder opened as a file gives nothing.
  uint8_t byte;
  EXPECT_EQ(OpenPackageFile(scratch.path().u16string().c_str())->Read(&byte, 1), 0u);
}

}  // namespace
