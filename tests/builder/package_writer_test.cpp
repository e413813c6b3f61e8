// The package writer and the build command around it, checked against the
// stub's reader and walk: what the writer puts in, they must get back.
#include "builder/package_writer.h"

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

#include "base/byte_order.h"
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

Bytes BuildFromMemory(const TreeEntry& root, ContentSource& source, const WriterOptions& options,
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

  const SectionHead tree = DecodeSectionHead(package.data() + info.treeOffset);
  decoded.indexCompressed = tree.flag != 0;
  const uint8_t* indexBytes = package.data() + info.treeOffset + SECTION_HEAD_SIZE;
  const Bytes index = decoded.indexCompressed ? Inflate(indexBytes, tree.length)
                                              : Bytes(indexBytes, indexBytes + tree.length);
  const uint32_t dataLength = DecodeU32(indexBytes + tree.length);
  const uint8_t* data = indexBytes + tree.length + TREE_DATA_LENGTH_SIZE;
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

// Expects `build` to throw, naming `path`, with `message` in what it says.
template <typename Build>
void ExpectRefusal(Build build, const std::string& path, const std::string& message) {
  try {
    build();
    ADD_FAILURE() << "no error: " << message;
  } catch (const PackageError& error) {
    EXPECT_EQ(error.path(), path);
    EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
  }
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

TEST(PackageWriterTest, ScannedTreeRoundTripsWithTimesAndOrder) {
  ScratchDir scratch;
  const fs::path tree = scratch.path() / "tree";
  const Bytes text = TextLikeBytes(20000, 1);
  const Bytes noise = RandomBytes(6000, 2);
  WriteFile(tree / "Zeta.txt", text);
  WriteFile(tree / "alpha.txt", ToBytes("x"));
  WriteFile(tree / "alpha" / "deep" / "noise.bin", noise);
  WriteFile(tree / "alpha" / "empty.txt", {});
  WriteFile(tree / "\xC3\xA9t\xC3\xA9.txt", TextLikeBytes(100, 3));
  fs::create_directories(tree / "beta" / "nothing");
  SetTime(tree / "Zeta.txt", 1667433600, 999999999);                   // 2022-11-03 00:00:00.999
  SetTime(tree / "alpha" / "empty.txt", 951782400 + 3661, 120000000);  // 2000-02-29 01:01:01.12

  ScannedTree scanned = ScanTree(tree.string());
  ValidateTree(scanned.root);
  TreeContentSource source(tree.string());
  const DecodedPackage decoded = Decode(BuildFromMemory(scanned.root, source, {}));
  EXPECT_EQ(decoded.script, kScript);
  EXPECT_FALSE(decoded.scriptCompressed);  // too short to gain
  EXPECT_TRUE(decoded.indexCompressed);
  EXPECT_EQ(decoded.order,
            (std::vector<std::string>{"Zeta.txt", "alpha/", "alpha/deep/", "alpha/deep/noise.bin",
                                      "alpha/empty.txt", "alpha.txt", "beta/", "beta/nothing/",
                                      "\xC3\xA9t\xC3\xA9.txt"}));
  const DecodedFile& zeta = decoded.files.at("Zeta.txt");
  EXPECT_EQ(zeta.contents, text);
  EXPECT_EQ(zeta.flags, ENTRY_COMPRESSED);
  EXPECT_EQ(zeta.time, (EntryTime{2022, 11, 3, 0, 0, 0, 99}));
  EXPECT_EQ(decoded.files.at("alpha/deep/noise.bin").contents, noise);
  EXPECT_EQ(decoded.files.at("alpha/deep/noise.bin").flags, 0u);  // deflate loses
  EXPECT_TRUE(decoded.files.at("alpha/empty.txt").contents.empty());
  EXPECT_EQ(decoded.files.at("alpha/empty.txt").time, (EntryTime{2000, 2, 29, 1, 1, 1, 12}));
  EXPECT_EQ(decoded.files.at("alpha.txt").flags, 0u);  // deflate cannot beat one byte
}

// Many files in flight or one at a time, shared or not, stored or deflated,
// whole or streamed through zlib: the same inputs give the same bytes for
// any number of threads, and the stub reads back every file.
TEST(PackageWriterTest, EveryWayOfStoringReadsBack) {
  MemorySource source;
  std::vector<TreeEntry> folders;
  for (int d = 0; d < 5; ++d) {
    std::vector<TreeEntry> files;
    for (int i = d; i < 40; i += 5) {
      const std::string name = "f" + std::to_string(i);
      source.files["d" + std::to_string(d) + "/" + name] =
          i % 3 == 0 ? RandomBytes(3000 + 100 * i, i) : TextLikeBytes(5000 * i, i);
      files.push_back(File(name, source.files["d" + std::to_string(d) + "/" + name].size()));
    }
    folders.push_back(Directory("d" + std::to_string(d), std::move(files)));
  }
  for (const char* copy : {"a", "b", "c"}) {
    source.files[std::string(copy) + "/text.txt"] = TextLikeBytes(9000, 11);
    source.files[std::string(copy) + "/noise.bin"] = RandomBytes(5000, 12);
    folders.push_back(Directory(copy, {File("noise.bin", 5000), File("text.txt", 9000)}));
  }
  source.files["b/other.txt"] = TextLikeBytes(9000, 13);  // same size, other bytes
  folders[6].children.push_back(File("other.txt", 9000));
  source.files["big.bin"] = RandomBytes(200000, 14);
  folders.push_back(File("big.bin", 200000));
  TreeEntry root = Directory("", std::move(folders));
  SortTree(root);

  struct Way {
    const char* name;
    unsigned jobs;
    uint64_t memoryBudget;
    bool share;
    bool store;
    uint64_t streamThreshold;
    int shared;  // entries that reuse an earlier file's data
  } const ways[] = {
      {"one thread", 1, 512 << 20, true, false, DEFAULT_STREAM_THRESHOLD, 4},
      {"one file in flight", 4, 1, true, false, DEFAULT_STREAM_THRESHOLD, 4},
      {"threads", 3, 512 << 20, true, false, DEFAULT_STREAM_THRESHOLD, 4},
      {"not shared", 3, 512 << 20, false, false, DEFAULT_STREAM_THRESHOLD, 0},
      {"stored", 2, 512 << 20, true, true, DEFAULT_STREAM_THRESHOLD, 4},
      {"streamed", 2, 512 << 20, true, false, 100000, 4},
  };
  std::string script;
  for (int i = 0; i < 20; ++i) script += kScript;
  Bytes first;
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    WriterOptions options;
    options.jobs = way.jobs;
    options.memoryBudget = way.memoryBudget;
    options.shareIdenticalFiles = way.share;
    options.store = way.store;
    options.streamThreshold = way.streamThreshold;
    const Bytes package = BuildFromMemory(root, source, options, FakeStub(), script);
    if (first.empty()) first = package;
    if (way.share && !way.store && way.streamThreshold == DEFAULT_STREAM_THRESHOLD) {
      EXPECT_EQ(package, first);
    }
    const DecodedPackage decoded = Decode(package);
    EXPECT_EQ(decoded.shared, way.shared);
    EXPECT_EQ(decoded.script, script);
    EXPECT_EQ(decoded.scriptCompressed, !way.store);
    EXPECT_EQ(decoded.indexCompressed, !way.store);
    ASSERT_EQ(decoded.files.size(), source.files.size());
    for (const auto& [path, bytes] : source.files) {
      const DecodedFile& file = decoded.files.at(path);
      EXPECT_EQ(file.contents, bytes) << path;
      if (way.store) {
        EXPECT_EQ(file.flags, 0u) << path;
      }
    }
    // Deflated where that wins (also through zlib, for the large files),
    // plain where it loses (the noise is then written again, plain).
    EXPECT_EQ(decoded.files.at("d2/f22").flags, way.store ? 0u : ENTRY_COMPRESSED);
    EXPECT_EQ(decoded.files.at("big.bin").flags, 0u);
  }
}

TEST(PackageWriterTest, BlocksThatWouldInflatePastTheirCeilingStayPlain) {
  const std::string script(4 << 20, '\n');  // deflates about 1000:1
  MemorySource source;
  source.files["zeros"] = Bytes(1 << 20, 0);  // a file is streamed out, never inflated whole
  const DecodedPackage decoded = Decode(BuildFromMemory(
      Directory("", {File("zeros", 1 << 20)}), source, WriterOptions(), FakeStub(), script));
  EXPECT_FALSE(decoded.scriptCompressed);
  EXPECT_EQ(decoded.script, script);
  EXPECT_EQ(decoded.files.at("zeros").flags, ENTRY_COMPRESSED);
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

TEST(PackageWriterTest, RefusesWhatTheFormatCannotHold) {
  MemorySource source;
  source.files["dir/f"] = TextLikeBytes(1000, 8);
  // A file that changed size since the scan, whichever way it is stored.
  for (const TreeMethod method : {TREE_METHOD_PER_FILE, TREE_METHOD_SOLID_LZMA2}) {
    for (const uint64_t threshold : {DEFAULT_STREAM_THRESHOLD, uint64_t{10}}) {
      for (const uint64_t claimed : {uint64_t{999}, uint64_t{1001}}) {
        WriterOptions options = method == TREE_METHOD_PER_FILE ? WriterOptions{} : SolidOptions(1);
        options.streamThreshold = threshold;
        ExpectRefusal(
            [&] {
              BuildFromMemory(Directory("", {Directory("dir", {File("f", claimed)})}), source,
                              options);
            },
            "dir/f", claimed < 1000 ? "the file grew" : "the file shrank");
      }
    }
  }
  WriterOptions level;
  level.level = 13;
  ExpectRefusal([&] { BuildFromMemory(Directory(""), source, level); }, "",
                "the compression level must be 1 to 12");
  level = SolidOptions(1);
  level.level = 10;
  ExpectRefusal([&] { BuildFromMemory(Directory(""), source, level); }, "",
                "the LZMA preset must be 0 to 9");
  ExpectRefusal([&] { BuildFromMemory(Directory(""), source, {}, Bytes(STUB_SIZE - 1)); }, "",
                "the stub is 310271 bytes");
}

TEST(BuildCommandTest, RefusalsNameTheEntryAndLeaveNoOutput) {
  struct Case {
    std::string entry;  // relative to the tree; made as a file unless named below
    std::string shown;  // as the message names it
    std::string message;
  } const cases[] = {
      {"sub/con.txt", "sub/con.txt", "reserved device name"},
      {"ctl\x01z", "ctl\\x01z", "control character"},
      {"bad\xFFname", "bad\\xFFname", "not valid UTF-8"},
      {"link", "link", "symbolic link"},
      {"dir/fifo", "dir/fifo", "special file"},
      {"script", "script.txt", "the script is not valid UTF-8 (line 2"},
      {"stub", "script.txt", "a stub is exactly 310272 bytes"},
      {"missing", "missing", "missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    ScratchDir scratch;
    const fs::path tree = scratch.path() / "tree";
    WriteFile(tree / "ok.txt", ToBytes("fine"));
    if (c.entry == "link") {
      fs::create_symlink("ok.txt", tree / "link");
    } else if (c.entry == "dir/fifo") {
      fs::create_directories(tree / "dir");
      ASSERT_EQ(mkfifo((tree / c.entry).c_str(), 0600), 0);
    } else if (c.entry != "script" && c.entry != "stub" && c.entry != "missing") {
      WriteFile(tree / c.entry, ToBytes("payload"));
    }
    const fs::path out = scratch.path() / "out" / "setup.exe";
    WriteFile(out, ToBytes("old"));
    WriteFile(scratch.path() / "stub.exe", FakeStub());
    WriteFile(scratch.path() / "script.txt",
              ToBytes(c.entry == "script" ? "ok\nbad \xC0\xAF\n" : kScript));
    BuildOptions options;
    options.script = (scratch.path() / "script.txt").string();
    options.tree = (c.entry == "missing" ? scratch.path() / "missing" : tree).string();
    options.output = out.string();
    options.stub = (scratch.path() / (c.entry == "stub" ? "script.txt" : "stub.exe")).string();
    options.quiet = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(run_build(options), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(c.shown), std::string::npos) << said;
    EXPECT_NE(said.find(c.message), std::string::npos) << said;
    EXPECT_EQ(ReadFile(out), ToBytes("old"));
    EXPECT_EQ(std::distance(fs::directory_iterator(out.parent_path()), {}), 1);
  }
}

TEST(DisplayTest, ControlCharactersAndBadBytesAreEscaped) {
  const std::string text = "a\x1B[2J\tb\nc\r\xC2\x9B\xFF\xC3\xA9";
  EXPECT_EQ(DisplayPath(text), "a\\x1B[2J\\x09b\\x0Ac\\x0D\\xC2\\x9B\\xFF\xC3\xA9");
  EXPECT_EQ(DisplayText(text), "a\\x1B[2J\tb\nc\\x0D\\xC2\\x9B\\xFF\xC3\xA9");
}
