// The native tree output on a real file system: links planted in the target
// are never written through, times land on the files, and a tree built by
// the package writer comes back byte for byte with its times.
#include "platform/posix/tree_output_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/byte_order.h"
#include "builder/package_writer.h"
#include "package/package_reader.h"
#include "package/tree_walker.h"
#include "scratch_dir.h"
#include "test_support.h"
#include "tree_scan.h"

namespace fs = std::filesystem;

namespace {

constexpr EntryTime kTime{2022, 11, 3, 0, 0, 0, 0};
constexpr time_t kTimeSeconds = 1667433600;

struct timespec ModificationTime(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
  return status.st_mtim;
}

void SetTime(const fs::path& path, time_t seconds, long nanoseconds) {
  const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// A tree section from index entries (stored data, offsets in order).
struct Section {
  std::string index;
  Bytes data;
  Section& Dir(const std::string& name) {
    AppendDirectoryEntry(index, name.data(), name.size());
    return *this;
  }
  Section& End() {
    AppendEndEntry(index, ENTRY_DIRECTORY_END);
    return *this;
  }
  Section& File(const std::string& name, const std::string& text, EntryTime time = kTime) {
    AppendFileEntry(index, name.data(), name.size(), 0, time, static_cast<uint32_t>(text.size()),
                    static_cast<uint32_t>(data.size()));
    data.insert(data.end(), text.begin(), text.end());
    return *this;
  }
  Bytes Bytes_() const {
    Bytes out(9 + index.size() + data.size(), 0);
    EncodeU32(out.data() + 1, static_cast<uint32_t>(index.size()));
    std::copy(index.begin(), index.end(), out.begin() + 5);
    std::copy(data.begin(), data.end(),
              out.begin() + 9 + static_cast<std::ptrdiff_t>(index.size()));
    return out;
  }
};

struct Collected final : ExtractObserver {
  std::vector<std::pair<ExtractIssue, std::string>> issues;
  void OnIssue(ExtractIssue issue, std::u16string_view, std::string_view name, bool) override {
    issues.emplace_back(issue, std::string(name));
  }
};

ExtractStats Extract(const Bytes& file, uint64_t treeOffset, const fs::path& target,
                     ExtractObserver* observer = nullptr) {
  MemoryInputFile input(file.data(), file.size());
  std::unique_ptr<TreeOutput> output = OpenNativeTreeOutput(target.c_str());
  ExtractOptions options;
  options.observer = observer;
  return ExtractTree(input, treeOffset, *output, options);
}

}  // namespace

TEST(TreeOutputPosixTest, NeverWritesThroughLinksPlantedInTheTarget) {
  ScratchDir scratch;
  const fs::path target = scratch.path() / "target";
  const fs::path outside = scratch.path() / "outside";
  fs::create_directories(target);
  fs::create_directories(outside);
  WriteFile(outside / "victim", ToBytes("keep"));
  WriteFile(outside / "hard-victim", ToBytes("keep too"));
  fs::create_directory_symlink(outside, target / "dir-link");
  fs::create_symlink(outside / "victim", target / "file-link");
  fs::create_symlink(outside / "nowhere", target / "dangling");
  fs::create_hard_link(outside / "hard-victim", target / "hard");
  ASSERT_EQ(mkfifo((target / "fifo").c_str(), 0600), 0);

  Section section;
  section.Dir("dir-link").File("x", "through a link").End();
  section.File("file-link", "overwritten").File("dangling", "created").File("hard", "replaced");
  section.File("fifo", "blocked").File("plain", "fine");
  Collected observer;
  const ExtractStats stats = Extract(section.Bytes_(), 0, target, &observer);

  EXPECT_FALSE(fs::exists(outside / "x"));
  EXPECT_FALSE(fs::exists(outside / "nowhere"));
  EXPECT_EQ(ReadFile(outside / "victim"), ToBytes("keep"));
  EXPECT_EQ(ReadFile(outside / "hard-victim"), ToBytes("keep too"));
  EXPECT_TRUE(fs::is_symlink(target / "file-link"));
  EXPECT_TRUE(fs::is_symlink(target / "dangling"));
  EXPECT_EQ(ReadFile(target / "hard"), ToBytes("replaced"));
  EXPECT_TRUE(fs::is_fifo(target / "fifo"));
  EXPECT_EQ(ReadFile(target / "plain"), ToBytes("fine"));
  // The link's own time is not touched either.
  EXPECT_NE(ModificationTime(target / "file-link").tv_sec, kTimeSeconds);

  EXPECT_EQ(stats.skipped, 1u);  // dir-link, with x
  EXPECT_EQ(stats.failed, 3u);   // file-link, dangling, fifo
  EXPECT_EQ(stats.filesWritten, 2u);
  for (const auto& [issue, name] : observer.issues) {
    EXPECT_EQ(issue, name == "dir-link" ? EXTRACT_LINK_IN_TARGET : EXTRACT_CREATE_FAILED) << name;
  }
}

TEST(TreeOutputPosixTest, TimesLandOnFilesAndBadTimesLeaveThem) {
  ScratchDir scratch;
  const fs::path target = scratch.path() / "t";
  Section section;
  section.File("dated", "d", {2022, 11, 3, 0, 0, 0, 57})
      .File("bad", "b", {2022, 2, 30, 0, 0, 0, 0});
  section.Dir("sub").File("deep", "x").End();
  ASSERT_TRUE(Extract(section.Bytes_(), 0, target).Clean());

  const timespec dated = ModificationTime(target / "dated");
  EXPECT_EQ(dated.tv_sec, kTimeSeconds);
  EXPECT_EQ(dated.tv_nsec, 570000000);
  EXPECT_EQ(ModificationTime(target / "sub" / "deep").tv_sec, kTimeSeconds);
  EXPECT_GT(ModificationTime(target / "bad").tv_sec, kTimeSeconds);

  WriteFile(target / "by-path", ToBytes("p"));
  EXPECT_TRUE(SetFileTimeFromEntry(kTime, (target / "by-path").u16string().c_str()));
  EXPECT_EQ(ModificationTime(target / "by-path").tv_sec, kTimeSeconds);
  EXPECT_FALSE(
      SetFileTimeFromEntry({2022, 13, 1, 0, 0, 0, 0}, (target / "by-path").u16string().c_str()));
}

TEST(TreeOutputPosixTest, WriterOutputComesBackByteForByteWithItsTimes) {
  ScratchDir scratch;
  const fs::path tree = scratch.path() / "tree";
  WriteFile(tree / "readme.txt", TextLikeBytes(20000, 1));
  WriteFile(tree / "bin" / "tool.exe", RandomBytes(700000, 2));
  WriteFile(tree / "bin" / "copy.exe", RandomBytes(700000, 2));  // shared data
  WriteFile(tree / "bin" / "big.log", TextLikeBytes(3 << 20, 3));
  WriteFile(tree / "empty.txt", {});
  WriteFile(tree / "d\xC3\xA9j\xC3\xA0" / "vu.txt", ToBytes("accents"));
  fs::create_directories(tree / "nothing" / "here");
  SetTime(tree / "readme.txt", 1000000000, 123456789);
  SetTime(tree / "bin" / "big.log", 1700000000, 990000000);

  for (const bool store : {false, true}) {
    ScannedTree scanned = ScanTree(tree.string());
    ValidateTree(scanned.root);
    TreeContentSource source(tree.string());
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> spool(std::tmpfile(), &std::fclose);
    const fs::path setup = scratch.path() / "setup.exe";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(setup.c_str(), "w+b"),
                                                        &std::fclose);
    WriterOptions options;
    options.store = store;
    const Bytes stub = FakeStub();
    WritePackage(std::string_view(reinterpret_cast<const char*>(stub.data()), stub.size()),
                 "[locale]\r\n", scanned.root, source, spool.get(), out.get(), options);
    out.reset();

    PackageInfo info;
    ASSERT_EQ(ReadPackage(setup.u16string().c_str(), &info), PACKAGE_VERIFIED);
    const fs::path target = scratch.path() / (store ? "stored" : "deflated");
    ExtractStats stats;
    EXPECT_EQ(ExtractPackageTree(target.u16string().c_str(), info.stubPath.c_str(), info.treeOffset,
                                 nullptr, &stats),
              0);
    EXPECT_TRUE(stats.Clean());
    EXPECT_EQ(stats.filesWritten, 6u);

    for (const auto& item : fs::recursive_directory_iterator(tree)) {
      const fs::path copy = target / fs::relative(item.path(), tree);
      if (item.is_directory()) {
        EXPECT_TRUE(fs::is_directory(copy)) << copy;
        continue;
      }
      EXPECT_EQ(ReadFile(copy), ReadFile(item.path())) << copy;
      const timespec want = ModificationTime(item.path());
      const timespec got = ModificationTime(copy);
      EXPECT_EQ(got.tv_sec, want.tv_sec) << copy;
      EXPECT_EQ(got.tv_nsec, want.tv_nsec / 10000000 * 10000000) << copy;
    }

    // One file by its path inside the tree, to a full destination path.
    const fs::path picture = scratch.path() / "temp_install.png";
    EXPECT_EQ(ExtractPackageFile(info.stubPath.c_str(), info.treeOffset, u"bin\\tool.exe",
                                 picture.u16string().c_str()),
              0);
    EXPECT_EQ(ReadFile(picture), RandomBytes(700000, 2));
    fs::remove(picture);
    ExtractPackageFile(info.stubPath.c_str(), info.treeOffset, u"bin/tool.exe",
                       picture.u16string().c_str());
    EXPECT_FALSE(fs::exists(picture));
  }
}
