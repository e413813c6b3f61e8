// The package writer and the builder around it, checked against the reader:
// what the writer puts in, ReadPackage and the index decoder must get back.
#include "package/package_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "build_command.h"
#include "display.h"
#include "package/byte_buffer.h"
#include "package/inflate.h"
#include "package/package_reader.h"
#include "package/sha1.h"
#include "package/tree_walker.h"
#include "platform/memory_tree_output.h"
#include "scratch_dir.h"
#include "test_support.h"
#include "tree_scan.h"

namespace fs = std::filesystem;

namespace {

void SetTime(const fs::path& path, time_t seconds, long nanoseconds) {
  const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

Bytes ReadAll(std::FILE* file) {
  std::fflush(file);
  std::fseek(file, 0, SEEK_END);
  Bytes bytes(static_cast<size_t>(std::ftell(file)));
  std::rewind(file);
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
  return bytes;
}

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
FilePtr TempFile() { return FilePtr(std::tmpfile(), &std::fclose); }

const std::string kScript = "[locale]\r\nSetup\r\n[install]\r\necho hi\r\n";

// Scans, validates and writes `tree` into memory.
Bytes BuildFromDisk(const fs::path& tree, const WriterOptions& options) {
  ScannedTree scanned = ScanTree(tree.string());
  ValidateTree(scanned.root);
  TreeContentSource source(tree.string());
  FilePtr spool = TempFile();
  FilePtr out = TempFile();
  const Bytes stub = FakeStub();
  WritePackage(std::string_view(reinterpret_cast<const char*>(stub.data()), stub.size()), kScript,
               scanned.root, source, spool.get(), out.get(), options);
  return ReadAll(out.get());
}

// Files served from memory; `claimed` sizes may differ from the real ones
// to play a file that changes between scan and read.
class MemorySource final : public ContentSource {
 public:
  std::map<std::string, Bytes> files;

  std::unique_ptr<ContentReader> Open(const std::string& path) override {
    class Reader final : public ContentReader {
     public:
      explicit Reader(const Bytes& bytes) : bytes_(bytes) {}
      size_t Read(void* buffer, size_t size) override {
        const size_t n = std::min(size, bytes_.size() - at_);
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        return n;
      }

     private:
      const Bytes& bytes_;
      size_t at_ = 0;
    };
    return std::make_unique<Reader>(files.at(path));
  }
};

TreeEntry File(const std::string& name, uint64_t size) {
  TreeEntry entry;
  entry.name = name;
  entry.size = size;
  entry.time = {2022, 11, 3, 0, 0, 0, 0};
  return entry;
}

TreeEntry Directory(const std::string& name, std::vector<TreeEntry> children = {}) {
  TreeEntry entry;
  entry.name = name;
  entry.isDirectory = true;
  entry.children = std::move(children);
  return entry;
}

Bytes BuildFromMemory(const TreeEntry& root, MemorySource& source, const WriterOptions& options,
                      const Bytes& stub = FakeStub(), const std::string& script = kScript) {
  FilePtr spool = TempFile();
  FilePtr out = TempFile();
  WritePackage(std::string_view(reinterpret_cast<const char*>(stub.data()), stub.size()), script,
               root, source, spool.get(), out.get(), options);
  return ReadAll(out.get());
}

struct DecodedFile {
  EntryTime time;
  uint32_t flags = 0;
  Bytes contents;
};

struct DecodedPackage {
  std::string script;
  bool scriptCompressed = false;
  bool indexCompressed = false;
  std::vector<std::string> order;  // every entry's path, directories with a trailing '/'
  std::map<std::string, DecodedFile> files;
  int shared = 0;  // entries that reuse an earlier file's data
};

Bytes Inflate(const uint8_t* data, uint32_t size) {
  ByteBuffer buffer(4096);
  EXPECT_EQ(InflateToBuffer(data, size, &buffer), 0);
  return Bytes(buffer.data, buffer.data + buffer.length);
}

// Reads a package back the way the stub does and checks its layout rules.
DecodedPackage Decode(const Bytes& package) {
  DecodedPackage decoded;
  MemoryInputFile input(package.data(), package.size());
  PackageInfo info;
  EXPECT_EQ(ReadPackageFrom(input, &info), PACKAGE_VERIFIED);
  if (info.script.bytes == nullptr && info.script.length != 0) return decoded;
  decoded.script.assign(reinterpret_cast<const char*>(info.script.bytes), info.script.length);
  decoded.scriptCompressed = package[SCRIPT_FLAG_OFFSET] != 0;

  const uint8_t* tree = package.data() + info.treeOffset;
  decoded.indexCompressed = tree[0] != 0;
  const uint32_t indexLength = DecodeU32(tree + 1);
  const uint8_t* indexBytes = tree + 5;
  const Bytes index = decoded.indexCompressed ? Inflate(indexBytes, indexLength)
                                              : Bytes(indexBytes, indexBytes + indexLength);
  const uint32_t dataLength = DecodeU32(indexBytes + indexLength);
  const uint8_t* data = indexBytes + indexLength + 4;
  // Then zero padding to the alignment signing tools keep.
  const Bytes padding(data + dataLength, package.data() + package.size());
  EXPECT_EQ(padding, Bytes(padding.size(), 0));
  EXPECT_LT(padding.size(), PACKAGE_ALIGNMENT);
  EXPECT_EQ(package.size() % PACKAGE_ALIGNMENT, 0u);

  std::vector<std::string> folders{""};
  std::map<uint32_t, uint32_t> placed;  // offset -> stored size
  uint32_t nextOffset = 0;
  size_t at = 0;
  for (;;) {
    IndexEntry entry;
    const size_t length = DecodeIndexEntry(index.data() + at, index.size() - at, &entry);
    EXPECT_NE(length, 0u);
    if (length == 0) break;
    at += length;
    if (entry.type == ENTRY_END) break;
    if (entry.type == ENTRY_DIRECTORY_END) {
      folders.pop_back();
      continue;
    }
    const std::string path = folders.back() + std::string(entry.name, entry.nameLength);
    if (entry.type == ENTRY_DIRECTORY) {
      EXPECT_EQ(entry.flags, 0u);
      decoded.order.push_back(path + "/");
      folders.push_back(path + "/");
      continue;
    }
    decoded.order.push_back(path);
    DecodedFile& file = decoded.files[path];
    file.time = entry.time;
    file.flags = entry.flags;
    if (entry.storedSize == 0) continue;
    // In index order with consecutive offsets, or the very copy of an
    // earlier file with the same contents.
    if (entry.offset < nextOffset) {
      const auto earlier = placed.find(entry.offset);
      EXPECT_TRUE(earlier != placed.end() && earlier->second == entry.storedSize) << path;
      ++decoded.shared;
    } else {
      EXPECT_EQ(entry.offset, nextOffset) << path;
      placed[entry.offset] = entry.storedSize;
      nextOffset = entry.offset + entry.storedSize;
    }
    const uint8_t* stored = data + entry.offset;
    file.contents = (entry.flags & ENTRY_COMPRESSED) != 0
                        ? Inflate(stored, entry.storedSize)
                        : Bytes(stored, stored + entry.storedSize);
  }
  EXPECT_EQ(at, index.size());
  EXPECT_EQ(nextOffset, dataLength);
  return decoded;
}

// A run of mksetup build; `out` names the output, `stderrText` what it said.
struct BuildRun {
  int exitCode;
  std::string stderrText;
};

BuildRun RunBuild(const fs::path& work, const fs::path& tree, const fs::path& out,
                  const std::string& script = kScript) {
  WriteFile(work / "stub.exe", FakeStub());
  WriteFile(work / "script.txt", ToBytes(script));
  BuildOptions options;
  options.script = (work / "script.txt").string();
  options.tree = tree.string();
  options.output = out.string();
  options.stub = (work / "stub.exe").string();
  options.jobs = 2;
  options.quiet = true;
  testing::internal::CaptureStderr();
  const int code = run_build(options);
  return {code, testing::internal::GetCapturedStderr()};
}

// Solid LZMA2 in the smallest blocks, so that small trees span many.
WriterOptions SolidOptions(unsigned jobs) {
  WriterOptions options;
  options.method = TREE_METHOD_SOLID_LZMA2;
  options.level = 1;
  options.jobs = jobs;
  options.solidBlockSize = MIN_SOLID_BLOCK_SIZE;
  options.solidDictionarySize = MIN_SOLID_BLOCK_SIZE;
  return options;
}

// Empty files, a file over three blocks long, a folder of two thousand small
// files, and names the stub refuses in between, whose bytes lie in the
// stream all the same.
TreeEntry SolidTree(MemorySource& source) {
  auto add = [&source](const std::string& path, Bytes contents) {
    const std::string name = path.substr(path.rfind('/') + 1);
    TreeEntry file = File(name, contents.size());
    source.files[path] = std::move(contents);
    return file;
  };
  std::vector<TreeEntry> many;
  for (int i = 0; i < 2000; ++i) {
    // Appended, not "literal" + string: GCC 12 warns about the latter (bug 105329).
    std::string path = "many/f";
    path += std::to_string(1000 + i);
    many.push_back(add(path, i % 100 == 0 ? Bytes{} : TextLikeBytes(20 + i % 7, i)));
    if (i == 999) many.push_back(add("many/x:y", TextLikeBytes(3000, 77)));
  }
  TreeEntry root =
      Directory("", {add("big.bin", TextLikeBytes(230000, 1)), add("con", RandomBytes(70000, 2)),
                     add("empty", {}), Directory("many", std::move(many)),
                     add("z.txt", TextLikeBytes(1000, 3))});
  SortTree(root);
  return root;
}

class IssueList final : public ExtractObserver {
 public:
  void OnIssue(ExtractIssue issue, std::u16string_view, std::string_view name, bool) override {
    issues[std::string(name)] = issue;
  }
  std::map<std::string, ExtractIssue> issues;
};

// Extracts `package` the way the stub does; every file it wrote is checked
// against `source` unless `issues` names it.
ExtractStats ExtractAndCompare(const Bytes& package, const MemorySource& source,
                               IssueList& issues) {
  MemoryInputFile input(package.data(), package.size());
  PackageInfo info;
  EXPECT_EQ(ReadPackageFrom(input, &info), PACKAGE_VERIFIED);
  MemoryTreeOutput output;
  ExtractOptions options;
  options.observer = &issues;
  const ExtractStats stats = ExtractTree(input, info.treeOffset, output, options);
  EXPECT_TRUE(output.unsafePaths.empty());
  for (const auto& [path, contents] : source.files) {
    const std::string name = path.substr(path.rfind('/') + 1);
    std::u16string wide(path.begin(), path.end());
    std::replace(wide.begin(), wide.end(), u'/', u'\\');
    const MemoryTreeOutput::Node* node = output.Find(wide);
    if (issues.issues.count(name) != 0) continue;
    EXPECT_TRUE(node != nullptr && node->bytes == contents) << path;
  }
  return stats;
}

// Where block `block` of the solid package's data starts.
size_t SolidBlockStart(const Bytes& package, uint32_t block) {
  MemoryInputFile input(package.data(), package.size());
  PackageInfo info;
  EXPECT_EQ(ReadPackageFrom(input, &info), PACKAGE_VERIFIED);
  const size_t dataBase = info.treeOffset + 9 + DecodeU32(package.data() + info.treeOffset + 1);
  SolidHeader header;
  EXPECT_TRUE(DecodeSolidHeader(package.data() + dataBase, &header));
  size_t start = dataBase + SOLID_HEADER_SIZE + header.blockCount * SOLID_BLOCK_RECORD_SIZE;
  for (uint32_t i = 0; i < block; ++i) {
    start += DecodeSolidBlock(package.data() + dataBase + SOLID_HEADER_SIZE +
                              i * SOLID_BLOCK_RECORD_SIZE)
                 .storedSize;
  }
  return start;
}

}  // namespace

TEST(SolidPackageTest, RoundTripsThroughTheStubsWalkerForAnyThreads) {
  MemorySource source;
  const TreeEntry root = SolidTree(source);
  const Bytes package = BuildFromMemory(root, source, SolidOptions(1));
  EXPECT_EQ(BuildFromMemory(root, source, SolidOptions(8)), package);
  IssueList issues;
  const ExtractStats stats = ExtractAndCompare(package, source, issues);
  EXPECT_EQ(stats.filesWritten, 2003u);
  EXPECT_EQ(stats.skipped, 2u);  // "con" and "x:y", whose bytes were decoded and dropped
  EXPECT_EQ(stats.failed, 0u);
  EXPECT_EQ(issues.issues.size(), 2u);
}

TEST(SolidPackageTest, DamagedBlockIsReportedNeverWrittenWrong) {
  MemorySource source;
  const TreeEntry root = SolidTree(source);
  const Bytes package = BuildFromMemory(root, source, SolidOptions(2));
  for (const uint32_t block : {0u, 1u, 4u}) {
    Bytes damaged = package;
    damaged[SolidBlockStart(package, block) + 40] ^= 0x10;
    ResealPackage(damaged);
    IssueList issues;
    const ExtractStats stats = ExtractAndCompare(damaged, source, issues);
    EXPECT_GT(stats.failed, 0u) << block;
    EXPECT_EQ(issues.issues.count(block == 4 ? "f1001" : "big.bin"), 1u) << block;
  }
}

TEST(SolidPackageTest, UnknownMethodsAndBrokenHeadsAreCorrupted) {
  MemorySource source;
  source.files["a"] = TextLikeBytes(5000, 1);
  const Bytes package = BuildFromMemory(Directory("", {File("a", 5000)}), source, SolidOptions(1));
  MemoryInputFile input(package.data(), package.size());
  PackageInfo info;
  ASSERT_EQ(ReadPackageFrom(input, &info), PACKAGE_VERIFIED);
  const size_t flag = info.treeOffset;
  const size_t head = SolidBlockStart(package, 0) - SOLID_HEADER_SIZE - SOLID_BLOCK_RECORD_SIZE;
  for (const auto& [at, value] : std::vector<std::pair<size_t, uint8_t>>{
           {flag, 0x21}, {flag, 0xF1}, {head + 6, 0}, {head + 8, 2}, {head + 12, 29}}) {
    Bytes damaged = package;
    damaged[at] = value;
    ResealPackage(damaged);
    MemoryInputFile damagedInput(damaged.data(), damaged.size());
    EXPECT_EQ(ReadPackageFrom(damagedInput, &info), PACKAGE_CORRUPTED) << at << " " << +value;
  }
}

// The default method's bytes for a fixed build, as they were before solid
// data existed: packages built without asking for it must not change.
TEST(PackageWriterTest, DeflateOutputIsUnchanged) {
  MemorySource source;
  source.files["a.txt"] = TextLikeBytes(40000, 21);
  source.files["d/b.bin"] = RandomBytes(3000, 22);
  source.files["d/c.txt"] = TextLikeBytes(5000, 21);
  const TreeEntry root =
      Directory("", {File("a.txt", 40000),
                     Directory("d", {File("b.bin", 3000), File("c.txt", 5000)}), File("e", 0)});
  source.files["e"] = {};
  WriterOptions options;
  options.jobs = 2;
  const Bytes package = BuildFromMemory(root, source, options);
  Sha1Context context;
  Sha1Init(&context);
  Sha1UpdateLarge(&context, package.data(), package.size());
  uint8_t digest[SHA1_DIGEST_SIZE];
  Sha1Final(&context, digest);
  char hex[2 * SHA1_DIGEST_SIZE + 1];
  for (size_t i = 0; i < SHA1_DIGEST_SIZE; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  EXPECT_STREQ(hex, "1ec1434abc07c229c20d28cecdd64d7333ad3c13");
}

TEST(PackageWriterTest, IndexOfAFolderWithAFileAndAnEmptyFile) {
  const TreeEntry root = Directory("", {Directory("sub", {File("a.txt", 5), File("e.txt", 0)})});
  const std::string index = EncodeIndex(root, {{0, 5, 0}, {0, 0, 0}});
  const Bytes expected = {
      0x01, 's',  'u',  'b',  0x00, 0x00, 0x00, 0x00, 0x00,                    // folder
      0x03, 'a',  '.',  't',  'x',  't',  0x00, 0x00, 0x00, 0x00, 0x00,        // file
      0xE6, 0x07, 0x0B, 0x03, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00,  //
      0x00, 0x00, 0x00, 0x00,                                                  // offset
      0x03, 'e',  '.',  't',  'x',  't',  0x00, 0x00, 0x00, 0x00, 0x00,        // empty
      0xE6, 0x07, 0x0B, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  //
      0x02, 0x00};
  ASSERT_EQ(expected.size(), 61u);
  EXPECT_EQ(Bytes(index.begin(), index.end()), expected);
}

TEST(PackageWriterTest, RoundTripRestoresTreeContentsTimesAndOrder) {
  ScratchDir scratch;
  const fs::path tree = scratch.path() / "tree";
  const Bytes text = TextLikeBytes(20000, 1);
  const Bytes noise = RandomBytes(6000, 2);
  WriteFile(tree / "Zeta.txt", text);
  WriteFile(tree / "alpha.txt", ToBytes("x"));
  WriteFile(tree / "alpha" / "deep" / "deeper" / "noise.bin", noise);
  WriteFile(tree / "alpha" / "empty.txt", {});
  WriteFile(tree / "\xC3\xA9t\xC3\xA9.txt", TextLikeBytes(100, 3));
  fs::create_directories(tree / "beta" / "nothing");
  SetTime(tree / "Zeta.txt", 1667433600, 999999999);                   // 2022-11-03 00:00:00.999
  SetTime(tree / "alpha" / "empty.txt", 951782400 + 3661, 120000000);  // 2000-02-29 01:01:01.12

  const DecodedPackage decoded = Decode(BuildFromDisk(tree, WriterOptions{}));
  EXPECT_EQ(decoded.script, kScript);
  const std::vector<std::string> order = {"Zeta.txt",
                                          "alpha/",
                                          "alpha/deep/",
                                          "alpha/deep/deeper/",
                                          "alpha/deep/deeper/noise.bin",
                                          "alpha/empty.txt",
                                          "alpha.txt",
                                          "beta/",
                                          "beta/nothing/",
                                          "\xC3\xA9t\xC3\xA9.txt"};
  EXPECT_EQ(decoded.order, order);

  const DecodedFile& zeta = decoded.files.at("Zeta.txt");
  EXPECT_EQ(zeta.contents, text);
  EXPECT_EQ(zeta.flags, ENTRY_COMPRESSED);
  EXPECT_EQ(zeta.time, (EntryTime{2022, 11, 3, 0, 0, 0, 99}));
  const DecodedFile& incompressible = decoded.files.at("alpha/deep/deeper/noise.bin");
  EXPECT_EQ(incompressible.contents, noise);
  EXPECT_EQ(incompressible.flags, 0u);
  const DecodedFile& empty = decoded.files.at("alpha/empty.txt");
  EXPECT_TRUE(empty.contents.empty());
  EXPECT_EQ(empty.flags, 0u);
  EXPECT_EQ(empty.time, (EntryTime{2000, 2, 29, 1, 1, 1, 12}));
  const DecodedFile& tiny = decoded.files.at("alpha.txt");  // deflate cannot beat one byte
  EXPECT_EQ(tiny.contents, ToBytes("x"));
  EXPECT_EQ(tiny.flags, 0u);
}

TEST(PackageWriterTest, SameInputsGiveSameBytesWhateverTheThreads) {
  ScratchDir scratch;
  const fs::path tree = scratch.path() / "tree";
  for (int i = 0; i < 40; ++i) {
    const fs::path file = tree / "d" += std::to_string(i % 5);
    WriteFile(file / "f" += std::to_string(i),
              i % 3 == 0 ? RandomBytes(3000 + 100 * i, i) : TextLikeBytes(5000 * i, i));
  }
  WriterOptions one;
  one.jobs = 1;
  WriterOptions four;
  four.jobs = 4;
  four.memoryBudget = 1;  // one file in flight at a time must still work
  const Bytes first = BuildFromDisk(tree, one);
  EXPECT_EQ(BuildFromDisk(tree, four), first);
  four.memoryBudget = WriterOptions{}.memoryBudget;
  EXPECT_EQ(BuildFromDisk(tree, four), first);
  EXPECT_EQ(Decode(first).files.size(), 40u);
}

TEST(PackageWriterTest, IdenticalFilesShareOneCopyUnlessAskedNotTo) {
  ScratchDir scratch;
  const fs::path tree = scratch.path() / "tree";
  const Bytes text = TextLikeBytes(9000, 11);
  const Bytes noise = RandomBytes(5000, 12);
  for (const char* folder : {"a", "b", "c"}) {
    WriteFile(tree / folder / "text.txt", text);
    WriteFile(tree / folder / "noise.bin", noise);
  }
  WriteFile(tree / "b" / "other.txt", TextLikeBytes(9000, 13));  // same size, other bytes
  for (const unsigned jobs : {1u, 3u}) {
    WriterOptions options;
    options.jobs = jobs;
    const DecodedPackage decoded = Decode(BuildFromDisk(tree, options));
    EXPECT_EQ(decoded.shared, 4) << jobs;
    EXPECT_EQ(decoded.files.at("c/text.txt").contents, text);
    EXPECT_EQ(decoded.files.at("c/noise.bin").contents, noise);
    EXPECT_EQ(decoded.files.at("b/other.txt").contents, TextLikeBytes(9000, 13));
  }
  WriterOptions separate;
  separate.shareIdenticalFiles = false;
  const DecodedPackage decoded = Decode(BuildFromDisk(tree, separate));
  EXPECT_EQ(decoded.shared, 0);
  EXPECT_EQ(decoded.files.at("c/text.txt").contents, text);
}

TEST(PackageWriterTest, StoreKeepsEverythingPlain) {
  ScratchDir scratch;
  WriteFile(scratch.path() / "tree" / "a.txt", TextLikeBytes(10000, 4));
  WriterOptions options;
  options.store = true;
  const DecodedPackage decoded = Decode(BuildFromDisk(scratch.path() / "tree", options));
  EXPECT_FALSE(decoded.scriptCompressed);
  EXPECT_FALSE(decoded.indexCompressed);
  EXPECT_EQ(decoded.files.at("a.txt").flags, 0u);
  EXPECT_EQ(decoded.files.at("a.txt").contents, TextLikeBytes(10000, 4));
}

TEST(PackageWriterTest, BlocksThatWouldInflatePastTheirCeilingStayPlain) {
  const std::string script(4 << 20, '\n');  // deflates about 1000:1
  MemorySource source;
  const DecodedPackage decoded =
      Decode(BuildFromMemory(Directory(""), source, WriterOptions(), FakeStub(), script));
  EXPECT_FALSE(decoded.scriptCompressed);
  EXPECT_EQ(decoded.script, script);
}

TEST(PackageWriterTest, OutputIsReadyToSign) {
  MemorySource source;
  source.files["a.txt"] = TextLikeBytes(1001, 8);
  for (bool plus : {false, true}) {
    Bytes stub = PeStub(plus);
    EncodeU32(stub.data() + PeSecurityEntryAt(plus) + 4, 0x1234);
    Bytes setup = BuildFromMemory(Directory("", {File("a.txt", 1001)}), source, {}, stub);
    Decode(setup);  // padded

    // CheckSum and security entry are written as zero, the rest as it was.
    std::fill_n(stub.begin() + kPeChecksumAt, 4, 0);
    std::fill_n(stub.begin() + PeSecurityEntryAt(plus), 8, 0);
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), setup.begin())) << plus;
    AppendSignature(setup, plus);
    MemoryInputFile input(setup.data(), setup.size());
    PackageInfo info;
    EXPECT_EQ(ReadPackageFrom(input, &info), PACKAGE_VERIFIED) << plus;
  }
}

TEST(PackageWriterTest, LargeFilesStreamThroughZlibAndFallBackToPlain) {
  MemorySource source;
  source.files["big.txt"] = TextLikeBytes(300000, 5);
  source.files["big.bin"] = RandomBytes(200000, 6);  // deflate loses: rewritten plain
  source.files["small.txt"] = TextLikeBytes(3000, 7);
  const TreeEntry root =
      Directory("", {File("big.bin", 200000), File("big.txt", 300000), File("small.txt", 3000)});
  WriterOptions options;
  options.streamThreshold = 100000;
  options.jobs = 2;
  const DecodedPackage decoded = Decode(BuildFromMemory(root, source, options));
  for (const auto& [path, bytes] : source.files) {
    EXPECT_EQ(decoded.files.at(path).contents, bytes) << path;
  }
  EXPECT_EQ(decoded.files.at("big.bin").flags, 0u);
  EXPECT_EQ(decoded.files.at("big.txt").flags, ENTRY_COMPRESSED);
}

TEST(PackageWriterTest, FileThatChangedSizeSinceTheScanIsAnError) {
  for (const uint64_t threshold : {DEFAULT_STREAM_THRESHOLD, uint64_t{10}}) {
    for (const uint64_t claimed : {uint64_t{999}, uint64_t{1001}}) {
      MemorySource source;
      source.files["dir/f"] = TextLikeBytes(1000, 8);
      const TreeEntry root = Directory("", {Directory("dir", {File("f", claimed)})});
      WriterOptions options;
      options.streamThreshold = threshold;
      try {
        BuildFromMemory(root, source, options);
        ADD_FAILURE() << "no error for " << claimed << " / " << threshold;
      } catch (const PackageError& error) {
        EXPECT_EQ(error.path(), "dir/f");
        EXPECT_NE(std::string(error.what()).find(claimed < 1000 ? "grew" : "shrank"),
                  std::string::npos)
            << error.what();
      }
    }
  }
}

TEST(PackageWriterTest, AnyChangedByteIsCaught) {
  ScratchDir scratch;
  WriteFile(scratch.path() / "tree" / "a.txt", TextLikeBytes(5000, 9));
  const Bytes package = BuildFromDisk(scratch.path() / "tree", WriterOptions{});
  for (const size_t at : {size_t{100}, size_t{PACKAGE_DIGEST_OFFSET},
                          size_t{SCRIPT_FLAG_OFFSET + 8}, package.size() - 1}) {
    Bytes damaged = package;
    damaged[at] ^= 0x20;
    MemoryInputFile input(damaged.data(), damaged.size());
    PackageInfo info;
    EXPECT_EQ(ReadPackageFrom(input, &info), PACKAGE_CORRUPTED) << at;
  }
}

TEST(PackageWriterTest, EntryTimesCoverTheWindowsRange) {
  EntryTime time;
  ASSERT_TRUE(EntryTimeFromUnix(0, 0, &time));
  EXPECT_EQ(time, (EntryTime{1970, 1, 1, 0, 0, 0, 0}));
  ASSERT_TRUE(EntryTimeFromUnix(-11644473600, 9999999, &time));
  EXPECT_EQ(time, (EntryTime{1601, 1, 1, 0, 0, 0, 0}));
  ASSERT_TRUE(EntryTimeFromUnix(-1, 500000000, &time));
  EXPECT_EQ(time, (EntryTime{1969, 12, 31, 23, 59, 59, 50}));
  ASSERT_TRUE(EntryTimeFromUnix(910670515199, 999999999, &time));
  EXPECT_EQ(time, (EntryTime{30827, 12, 31, 23, 59, 59, 99}));
  EXPECT_FALSE(EntryTimeFromUnix(-11644473601, 0, &time));
  EXPECT_FALSE(EntryTimeFromUnix(910670515200, 0, &time));
  EXPECT_FALSE(EntryTimeFromUnix(INT64_MIN, 0, &time));
  EXPECT_FALSE(EntryTimeFromUnix(INT64_MAX, 0, &time));
}

TEST(PackageWriterTest, ValidationRefusesWhatTheStubCannotInstall) {
  const std::string longName(MAX_ENTRY_NAME_BYTES + 1, 'n');
  std::string longestName;  // 510 bytes, 170 units: fits both limits
  for (int i = 0; i < 170; ++i) longestName += "\xE2\x82\xAC";
  const std::string segment(200, 's');  // three make a path over the budget
  struct Case {
    TreeEntry root;
    std::string path;
    std::string message;
  } const cases[] = {
      {Directory("", {Directory("d", {File(longName, 1)})}), "d/" + longName, "511 bytes"},
      {Directory("", {File(longestName, 1), File("A.txt", 1), File("a.TXT", 1)}), "a.TXT",
       "letter case"},
      {Directory("", {File("\xC3\x89t\xC3\xA9", 1), File("\xC3\xA9T\xC3\x89", 1)}),
       "\xC3\xA9T\xC3\x89", "letter case"},
      {Directory("", {File("\xEF\xBC\xA1", 1), File("\xEF\xBD\x81", 1)}),  // full-width A, a
       "\xEF\xBD\x81", "letter case"},
      {Directory("", {Directory(segment, {Directory(segment, {File(segment, 1)})})}),
       segment + "/" + segment + "/" + segment, "602 UTF-16 units"},
  };
  for (const Case& c : cases) {
    try {
      ValidateTree(c.root);
      ADD_FAILURE() << "accepted " << c.path;
    } catch (const PackageError& error) {
      EXPECT_EQ(error.path(), c.path);
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
  // The budget itself is fine: 508 units over several folders.
  const std::string part(168, 'p');
  EXPECT_NO_THROW(ValidateTree(
      Directory("", {Directory(part, {Directory(part, {File(std::string(170, 'f'), 1)})})})));
}

TEST(BuildCommandTest, BuildsAndReplacesTheOutputLeavingNoTemporaries) {
  ScratchDir scratch;
  const fs::path out = scratch.path() / "out" / "setup.exe";
  WriteFile(scratch.path() / "tree" / "a.txt", TextLikeBytes(3000, 10));
  WriteFile(out, ToBytes("old"));
  const BuildRun run = RunBuild(scratch.path(), scratch.path() / "tree", out);
  ASSERT_EQ(run.exitCode, 0) << run.stderrText;
  EXPECT_EQ(run.stderrText, "");
  EXPECT_EQ(Decode(ReadFile(out)).files.at("a.txt").contents, TextLikeBytes(3000, 10));
  EXPECT_EQ(std::distance(fs::directory_iterator(out.parent_path()), {}), 1);
}

TEST(BuildCommandTest, RefusedTreesNameTheEntryAndLeaveNoOutput) {
  struct Case {
    std::string entry;  // relative to the tree; created as a file unless made below
    std::string message;
  } const cases[] = {
      {"sub/con.txt", "reserved device name"},
      {"Lpt1", "reserved device name"},
      {"a:b", "path separator"},
      {"x ", "dot or a blank"},
      {"x.", "dot or a blank"},
      {"ctl\x01z", "control character"},
      {"bad\xFFname", "not valid UTF-8"},
      {"smile\xF0\x9F\x98\x80", "Basic Multilingual Plane"},
      {"q?", "reserves"},
      {std::string(200, 'a') + "/" + std::string(200, 'b') + "/" + std::string(110, 'c'),
       "512 UTF-16 units"},
      {"link", "symbolic link"},
      {"dir/fifo", "special file"},
  };
  for (const Case& c : cases) {
    ScratchDir scratch;
    const fs::path tree = scratch.path() / "tree";
    WriteFile(tree / "ok.txt", ToBytes("fine"));
    if (c.entry == "link") {
      fs::create_symlink("ok.txt", tree / "link");
    } else if (c.entry == "dir/fifo") {
      fs::create_directories(tree / "dir");
      ASSERT_EQ(mkfifo((tree / c.entry).c_str(), 0600), 0);
    } else {
      WriteFile(tree / c.entry, ToBytes("payload"));
    }
    const fs::path out = scratch.path() / "out" / "setup.exe";
    fs::create_directories(out.parent_path());
    WriteFile(out, ToBytes("old"));
    const BuildRun run = RunBuild(scratch.path(), tree, out);
    EXPECT_EQ(run.exitCode, 1) << c.entry;
    EXPECT_NE(run.stderrText.find(c.message), std::string::npos) << run.stderrText;
    // The path is named, control and malformed bytes escaped.
    const std::string shown = c.entry == "ctl\x01z"      ? "ctl\\x01z"
                              : c.entry == "bad\xFFname" ? "bad\\xFFname"
                                                         : c.entry;
    EXPECT_NE(run.stderrText.find("mksetup: " + shown + ": "), std::string::npos) << run.stderrText;
    EXPECT_EQ(ReadFile(out), ToBytes("old")) << c.entry;
    EXPECT_EQ(std::distance(fs::directory_iterator(out.parent_path()), {}), 1) << c.entry;
  }
}

TEST(BuildCommandTest, RefusesBadScriptStubAndTreeArguments) {
  ScratchDir scratch;
  WriteFile(scratch.path() / "tree" / "a.txt", ToBytes("a"));
  const fs::path out = scratch.path() / "setup.exe";

  BuildRun run = RunBuild(scratch.path(), scratch.path() / "tree", out, "ok\nbad \xC0\xAF\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.stderrText.find("script.txt: the script is not valid UTF-8 (line 2"),
            std::string::npos)
      << run.stderrText;

  run = RunBuild(scratch.path(), scratch.path() / "missing", out);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.stderrText.find("missing"), std::string::npos) << run.stderrText;

  BuildOptions options;
  options.script = (scratch.path() / "script.txt").string();
  options.tree = (scratch.path() / "tree").string();
  options.output = out.string();
  options.stub = (scratch.path() / "script.txt").string();  // any file of the wrong size
  testing::internal::CaptureStderr();
  EXPECT_EQ(run_build(options), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("a stub is exactly 310272 bytes"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(out));
}

TEST(DisplayTest, ControlCharactersAndBadBytesAreEscaped) {
  const std::string text = "a\x1B[2J\tb\nc\r\xC2\x9B\xFF\xC3\xA9";
  EXPECT_EQ(DisplayPath(text), "a\\x1B[2J\\x09b\\x0Ac\\x0D\\xC2\\x9B\\xFF\xC3\xA9");
  EXPECT_EQ(DisplayText(text), "a\\x1B[2J\tb\nc\\x0D\\xC2\\x9B\\xFF\xC3\xA9");
}
