// The package writer and the build command around it, checked against the
// stub's reader and walk: what the writer puts in, they must get back.
#include "builder/package_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

#include "base/byte_order.h"
#include "base/utf8.h"
#include "build_command.h"
#include "builder_support.h"
#include "display.h"
#include "list_command.h"
#include "package/package_reader.h"
#include "package/sha1.h"
#include "package/tree_walker.h"
#include "platform/memory_tree_output.h"
#include "scratch_dir.h"
#include "sign_command.h"
#include "test_support.h"
#include "tree_scan.h"

namespace fs = std::filesystem;

namespace {

const std::string kScript = "[locale]\r\nSetup\r\n[install]\r\necho hi\r\n";
// Enough [locale] lines for the linter that mksetup build runs.
const std::string kBuildableScript =
    "[locale]\r\nSetup\r\nPrompt\r\nC:\\Setup\r\nStart\r\nBusy\r\nCopying\r\n";

// Files served from memory; a scanned size may differ from the real one to
// play a file that changes between scan and read.
class MemorySource final : public ContentSource {
 public:
  std::map<std::string, Bytes> files;

  std::unique_ptr<ContentReader> Open(const std::string& path) override {
    struct Reader final : ContentReader {
      const Bytes& bytes;
      size_t at = 0;
      explicit Reader(const Bytes& contents) : bytes(contents) {}
      size_t Read(void* buffer, size_t size) override {
        const size_t n = std::min(size, bytes.size() - at);
        std::memcpy(buffer, bytes.data() + at, n);
        at += n;
        return n;
      }
    };
    return std::make_unique<Reader>(files.at(path));
  }

  // Adds the file at `path` and returns its entry.
  TreeEntry Add(const std::string& path, Bytes contents) {
    TreeEntry entry = FileEntry(path.substr(path.rfind('/') + 1), contents.size());
    files[path] = std::move(contents);
    return entry;
  }
};

Bytes Build(const TreeEntry& root, ContentSource& source, const WriterOptions& options,
            const Bytes& stub = FakeStub(), const std::string& script = kScript) {
  using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
  FilePtr spool(std::tmpfile(), &std::fclose);
  FilePtr out(std::tmpfile(), &std::fclose);
  WritePackage(std::string_view(reinterpret_cast<const char*>(stub.data()), stub.size()), script,
               root, source, spool.get(), out.get(), options);
  std::fseek(out.get(), 0, SEEK_END);
  Bytes bytes(static_cast<size_t>(std::ftell(out.get())));
  std::rewind(out.get());
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), out.get()), bytes.size());
  return bytes;
}

struct DecodedFile {
  uint32_t flags = 0;
  Bytes contents;
  CopyResult result = COPY_OK;
};

struct DecodedPackage {
  std::string script;
  bool scriptCompressed = false;
  bool indexCompressed = false;
  std::map<std::string, DecodedFile> files;
  std::vector<std::string> skipped;  // names the stub refuses
  int shared = 0;                    // entries that reuse an earlier file's data
};

struct Collector final : OutputFile {
  Bytes bytes;
  bool Write(const void* data, size_t size) override {
    bytes.insert(bytes.end(), static_cast<const uint8_t*>(data),
                 static_cast<const uint8_t*>(data) + size);
    return true;
  }
  bool Close() override { return true; }
};

// Reads a package back with the stub's reader, walk and copy, and checks
// the layout rules on the way: zero padding to the alignment signing tools
// keep, and files in index order with consecutive offsets (or the very copy
// of an earlier file with the same contents).
DecodedPackage Decode(const Bytes& package) {
  DecodedPackage decoded;
  MemoryInputFile input(package.data(), package.size());
  PackageInfo info;
  EXPECT_EQ(ReadPackageFrom(input, &info), PACKAGE_VERIFIED);
  decoded.script.assign(reinterpret_cast<const char*>(info.script.bytes), info.script.length);
  decoded.scriptCompressed = package[SCRIPT_FLAG_OFFSET] != 0;
  PackageTree tree;
  EXPECT_TRUE(OpenPackageTree(input, info.treeOffset, &tree));
  EXPECT_FALSE(tree.damaged);
  decoded.indexCompressed = tree.indexCompressed;
  const Bytes padding(package.begin() + static_cast<ptrdiff_t>(tree.dataBase + tree.dataAreaLength),
                      package.end());
  EXPECT_EQ(padding, Bytes(padding.size(), 0));
  EXPECT_LT(padding.size(), PACKAGE_ALIGNMENT);
  EXPECT_EQ(package.size() % PACKAGE_ALIGNMENT, 0u);

  struct Visitor final : TreeVisitor {
    InputFile& input;
    const PackageTree& tree;
    DecodedPackage& decoded;
    CopyBuffers buffers;
    std::map<uint32_t, uint32_t> placed;  // offset -> stored size
    uint32_t nextOffset = 0;

    Visitor(InputFile& in, const PackageTree& t, DecodedPackage& d)
        : input(in), tree(t), decoded(d) {}
    static std::string Utf8Path(std::u16string_view path) {
      std::string text = WideToUtf8(path);
      std::replace(text.begin(), text.end(), '\\', '/');
      return text;
    }
    bool OnDirectory(std::u16string_view, const IndexEntry& entry) override {
      EXPECT_EQ(entry.flags, 0u);
      return true;
    }
    bool OnFile(std::u16string_view path, const char16_t*, const IndexEntry& entry) override {
      Add(Utf8Path(path), entry);
      return true;
    }
    void OnSkipped(ExtractIssue, std::u16string_view parent, const IndexEntry& entry,
                   bool isDirectory) override {
      decoded.skipped.emplace_back(entry.name, entry.nameLength);
      const std::string folder = Utf8Path(parent);
      if (!isDirectory) Add((folder.empty() ? "" : folder + "/") + decoded.skipped.back(), entry);
    }
    void Add(const std::string& path, const IndexEntry& entry) {
      DecodedFile& file = decoded.files[path];
      file.flags = entry.flags;
      Collector out;
      file.result = CopyEntryData(input, tree, entry, out, buffers);
      file.contents = out.bytes;
      if (entry.storedSize == 0) return;
      if (entry.offset < nextOffset) {
        const auto earlier = placed.find(entry.offset);
        EXPECT_TRUE(earlier != placed.end() && earlier->second == entry.storedSize) << path;
        ++decoded.shared;
      } else {
        EXPECT_EQ(entry.offset, nextOffset) << path;
        placed[entry.offset] = entry.storedSize;
        nextOffset = entry.offset + entry.storedSize;
      }
    }
  } visitor(input, tree, decoded);
  EXPECT_TRUE(WalkTree(tree, 3, visitor));
  if (tree.method == TREE_METHOD_PER_FILE) {
    EXPECT_EQ(visitor.nextOffset, tree.dataAreaLength);
  }
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
  std::vector<TreeEntry> many;
  for (int i = 0; i < 2000; ++i) {
    // Appended, not "literal" + string: GCC 12 warns about the latter (bug 105329).
    std::string path = "many/f";
    path += std::to_string(1000 + i);
    many.push_back(source.Add(path, i % 100 == 0 ? Bytes{} : TextLikeBytes(20 + i % 7, i)));
  }
  many.push_back(source.Add("many/x:y", TextLikeBytes(3000, 77)));
  return Directory(
      "", {source.Add("big.bin", TextLikeBytes(230000, 1)),
           source.Add("con", RandomBytes(70000, 2)), source.Add("empty", {}),
           Directory("many", std::move(many)), source.Add("z.txt", TextLikeBytes(1000, 3))});
}

// Every file decoded whole, but for those named in `failed`.
void ExpectContents(const DecodedPackage& decoded, const MemorySource& source,
                    const std::vector<std::string>& failed = {}) {
  ASSERT_EQ(decoded.files.size(), source.files.size());
  for (const auto& [path, bytes] : source.files) {
    const DecodedFile& file = decoded.files.at(path);
    if (std::find(failed.begin(), failed.end(), path) != failed.end()) {
      EXPECT_EQ(file.result, COPY_INFLATE_FAILED) << path;
    } else {
      EXPECT_EQ(file.result, COPY_OK) << path;
      EXPECT_EQ(file.contents, bytes) << path;
    }
  }
}

// Where block `block` of the solid package's data starts.
size_t SolidBlockStart(const Bytes& package, uint32_t block) {
  MemoryInputFile input(package.data(), package.size());
  PackageInfo info;
  PackageTree tree;
  EXPECT_EQ(ReadPackageFrom(input, &info), PACKAGE_VERIFIED);
  EXPECT_TRUE(OpenPackageTree(input, info.treeOffset, &tree));
  const uint8_t* head = package.data() + tree.dataBase;
  SolidHeader header;
  EXPECT_TRUE(DecodeSolidHeader(head, &header));
  size_t start = tree.dataBase + SOLID_HEADER_SIZE + header.blockCount * SOLID_BLOCK_RECORD_SIZE;
  for (uint32_t i = 0; i < block; ++i) {
    start += DecodeSolidBlock(head + SOLID_HEADER_SIZE + i * SOLID_BLOCK_RECORD_SIZE).storedSize;
  }
  return start;
}

}  // namespace

// A damaged block is reported for the files in it, never written wrong.
TEST(SolidPackageTest, RoundTripsThroughTheStubsWalkForAnyThreadsAndDamageStaysInItsBlock) {
  MemorySource source;
  const TreeEntry root = SolidTree(source);
  const Bytes package = Build(root, source, SolidOptions(1));
  EXPECT_EQ(Build(root, source, SolidOptions(8)), package);
  const DecodedPackage decoded = Decode(package);
  ExpectContents(decoded, source);
  // Names the stub refuses: their bytes are decoded and dropped.
  EXPECT_EQ(decoded.skipped, (std::vector<std::string>{"con", "x:y"}));
  EXPECT_EQ(decoded.files.at("many/f1001").flags, 0u);
  // The stub's own walk skips them: their bytes are decoded and dropped.
  MemoryInputFile input(package.data(), package.size());
  PackageInfo info;
  ASSERT_EQ(ReadPackageFrom(input, &info), PACKAGE_VERIFIED);
  MemoryTreeOutput output;
  EXPECT_EQ(ExtractTree(input, info.treeOffset, output, {}).skipped, 2u);
  for (const auto& [path, bytes] : source.files) {
    std::u16string name = Utf8ToWide(path);
    std::replace(name.begin(), name.end(), u'/', u'\\');
    const MemoryTreeOutput::Node* node = output.Find(name);
    ASSERT_EQ(node == nullptr, path == "con" || path == "many/x:y") << path;
    if (node != nullptr) {
      EXPECT_EQ(node->bytes, bytes) << path;
    }
  }
  // Installed with blocks decoded ahead on other threads: the same files,
  // the same failures.
  auto installed = [](const Bytes& setup, unsigned workers) {
    MemoryInputFile file(setup.data(), setup.size());
    PackageInfo read;
    EXPECT_EQ(ReadPackageFrom(file, &read), PACKAGE_VERIFIED);
    MemoryTreeOutput tree;
    ExtractOptions options;
    options.decodeWorkers = workers;
    const ExtractStats stats = ExtractTree(file, read.treeOffset, tree, options);
    std::map<std::u16string, Bytes> files;
    for (const auto& [path, node] : tree.nodes) files[path] = node.bytes;
    return std::pair{files, stats.failed};
  };
  EXPECT_EQ(installed(package, 2), installed(package, 0));
  for (const uint32_t block : {0u, 1u, 2u, 4u}) {
    Bytes damaged = package;
    damaged[SolidBlockStart(package, block) + 40] ^= 0x10;
    ResealPackage(damaged);
    const DecodedPackage broken = Decode(damaged);
    EXPECT_EQ(broken.files.at(block == 4 ? "many/f1001" : "big.bin").result, COPY_INFLATE_FAILED)
        << block;
    EXPECT_EQ(broken.files.at("z.txt").result, COPY_OK) << block;
    EXPECT_EQ(installed(damaged, 3), installed(damaged, 0)) << block;
  }
}

TEST(SolidPackageTest, UnknownMethodsAndBrokenHeadsAreCorrupted) {
  MemorySource source;
  const Bytes package =
      Build(Directory("", {source.Add("a", TextLikeBytes(5000, 1))}), source, SolidOptions(1));
  MemoryInputFile input(package.data(), package.size());
  PackageInfo info;
  ASSERT_EQ(ReadPackageFrom(input, &info), PACKAGE_VERIFIED);
  const size_t flag = info.treeOffset;
  const size_t head = SolidBlockStart(package, 0) - SOLID_HEADER_SIZE - SOLID_BLOCK_RECORD_SIZE;
  for (const auto& [at, value] : std::vector<std::pair<size_t, uint8_t>>{
           {flag, 0x31}, {flag, 0xF1}, {head + 6, 0}, {head + 8, 2}, {head + 12, 29}}) {
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
  const TreeEntry root =
      Directory("", {source.Add("a.txt", TextLikeBytes(40000, 21)),
                     Directory("d", {source.Add("d/b.bin", RandomBytes(3000, 22)),
                                     source.Add("d/c.txt", TextLikeBytes(5000, 21))}),
                     source.Add("e", {})});
  WriterOptions options;
  options.jobs = 2;
  const Bytes package = Build(root, source, options);
  EXPECT_EQ(Sha1Hex(package), "1ec1434abc07c229c20d28cecdd64d7333ad3c13");
}

// Many files in flight or one at a time, shared or not, stored or deflated,
// whole or streamed through zlib: the same inputs give the same bytes for
// any number of threads, and the stub reads back every file.
TEST(PackageWriterTest, EveryWayOfStoringReadsBack) {
  MemorySource source;
  std::vector<TreeEntry> folders;
  for (int d = 0; d < 5; ++d) {
    const std::string folder = "d" + std::to_string(d);
    std::vector<TreeEntry> files;
    for (int i = d; i < 40; i += 5) {
      files.push_back(
          source.Add(folder + "/f" + std::to_string(i),
                     i % 3 == 0 ? RandomBytes(3000 + 100 * i, i) : TextLikeBytes(5000 * i, i)));
    }
    folders.push_back(Directory(folder, std::move(files)));
  }
  for (const std::string copy : {"a", "b", "c"}) {
    folders.push_back(Directory(copy, {source.Add(copy + "/noise.bin", RandomBytes(5000, 12)),
                                       source.Add(copy + "/text.txt", TextLikeBytes(9000, 11))}));
  }
  folders.back().children.push_back(source.Add("c/other.txt", TextLikeBytes(9000, 13)));
  folders.push_back(source.Add("big.bin", RandomBytes(200000, 14)));
  const TreeEntry root = Directory("", std::move(folders));
  std::string script;
  for (int i = 0; i < 20; ++i) script += kScript;

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
  Bytes first;
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    WriterOptions options;
    options.jobs = way.jobs;
    options.memoryBudget = way.memoryBudget;
    options.shareIdenticalFiles = way.share;
    options.store = way.store;
    options.streamThreshold = way.streamThreshold;
    const Bytes package = Build(root, source, options, FakeStub(), script);
    if (first.empty()) first = package;
    if (way.share && !way.store && way.streamThreshold == DEFAULT_STREAM_THRESHOLD) {
      EXPECT_EQ(package, first);
    }
    const DecodedPackage decoded = Decode(package);
    ExpectContents(decoded, source);
    EXPECT_EQ(decoded.shared, way.shared);
    EXPECT_EQ(decoded.script, script);
    EXPECT_EQ(decoded.scriptCompressed, !way.store);
    EXPECT_EQ(decoded.indexCompressed, !way.store);
    // Deflated where that wins (through zlib too, for the large files),
    // plain where it loses (a streamed file is then written again, plain).
    for (const char* path : {"d2/f22", "d1/f1", "a/text.txt"}) {
      EXPECT_EQ(decoded.files.at(path).flags, way.store ? 0u : ENTRY_COMPRESSED) << path;
    }
    EXPECT_EQ(decoded.files.at("big.bin").flags, 0u);
    EXPECT_EQ(decoded.files.at("d0/f0").flags, 0u);  // empty
  }
}

TEST(PackageWriterTest, BlocksThatWouldInflatePastTheirCeilingStayPlain) {
  const std::string script(4 << 20, '\n');  // deflates about 1000:1
  MemorySource source;
  // A file is copied out in a stream, never inflated whole: no ceiling.
  const TreeEntry root = Directory("", {source.Add("zeros", Bytes(1 << 20, 0))});
  const DecodedPackage decoded = Decode(Build(root, source, {}, FakeStub(), script));
  EXPECT_FALSE(decoded.scriptCompressed);
  EXPECT_EQ(decoded.script, script);
  EXPECT_EQ(decoded.files.at("zeros").flags, ENTRY_COMPRESSED);
}

TEST(PackageWriterTest, OutputIsReadyToSign) {
  MemorySource source;
  const TreeEntry root = Directory("", {source.Add("a.txt", TextLikeBytes(1001, 8))});
  for (bool plus : {false, true}) {
    Bytes stub = PeStub(plus);
    EncodeU32(stub.data() + PeSecurityEntryAt(plus) + 4, 0x1234);
    Bytes setup = Build(root, source, {}, stub);
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
  source.Add("dir/f", TextLikeBytes(1000, 8));
  // A file that changed size since the scan, whichever way it is stored.
  for (const bool solid : {false, true}) {
    for (const uint64_t threshold : {DEFAULT_STREAM_THRESHOLD, uint64_t{10}}) {
      for (const uint64_t scanned : {uint64_t{999}, uint64_t{1001}}) {
        WriterOptions options = solid ? SolidOptions(1) : WriterOptions{};
        options.streamThreshold = threshold;
        const TreeEntry root = Directory("", {Directory("dir", {FileEntry("f", scanned)})});
        ExpectRefusal([&] { Build(root, source, options); }, "dir/f",
                      scanned < 1000 ? "the file grew" : "the file shrank");
      }
    }
  }
  WriterOptions level;
  level.level = 13;
  ExpectRefusal([&] { Build(Directory(""), source, level); }, "",
                "the compression level must be 1 to 12");
  level = SolidOptions(1);
  level.level = 10;
  ExpectRefusal([&] { Build(Directory(""), source, level); }, "", "the LZMA preset must be 0 to 9");
  ExpectRefusal([&] { Build(Directory(""), source, {}, Bytes(STUB_SIZE - 1)); }, "",
                "the stub is 310271 bytes");
}

// More of the command's refusals (the script's among them) are tests/cli's.
TEST(BuildCommandTest, RefusalsNameTheEntryAndLeaveNoOutput) {
  struct Case {
    std::string entry;  // relative to the tree; made as a file unless named below
    std::string shown;  // as the message names it
    std::string message;
  } const cases[] = {
      {"ctl\x01z", "mksetup: ctl\\x01z: ", "control character"},
      {"dir/fifo", "mksetup: dir/fifo: ", "special file"},
      {"missing", "missing", "missing"},
      {"Uninstall.EXE", "mksetup: Uninstall.EXE: ", "the name is taken"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    ScratchDir scratch;
    const fs::path tree = scratch.path() / "tree";
    WriteFile(tree / "ok.txt", ToBytes("fine"));
    if (c.entry == "dir/fifo") {
      fs::create_directories(tree / "dir");
      ASSERT_EQ(mkfifo((tree / c.entry).c_str(), 0600), 0);
    } else if (c.entry != "missing") {
      WriteFile(tree / c.entry, ToBytes("payload"));
    }
    const fs::path out = scratch.path() / "out" / "setup.exe";
    WriteFile(out, ToBytes("old"));
    WriteFile(scratch.path() / "stub.exe", FakeStub());
    // [product] claims the uninstaller's name; the other refusals come first.
    WriteFile(scratch.path() / "script.txt", ToBytes(kScript + "[product]\nId=x\n"));
    BuildOptions options;
    options.script = (scratch.path() / "script.txt").string();
    options.tree = (c.entry == "missing" ? scratch.path() / "missing" : tree).string();
    options.output = out.string();
    options.stub = (scratch.path() / "stub.exe").string();
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

// With [product] the tree gains the stub again as uninstall.exe: the setup's
// script, stored as the setup stores it, and a record of the tree as
// installed, its own entry at its own size and the newest file's time.
TEST(BuildCommandTest, ProductAddsAnUninstallerThatRecordsTheTree) {
  ScratchDir scratch;
  const fs::path tree = scratch.path() / "tree";
  WriteFile(tree / "a.txt", TextLikeBytes(5000, 1));
  WriteFile(tree / "d" / "e", {});
  WriteFile(tree / "d" / "f.bin", RandomBytes(3000, 2));
  for (const auto& [name, seconds] :
       {std::pair{"a.txt", 1893456000}, {"d/e", 1000000000}, {"d/f.bin", 2000000000}}) {
    const timespec times[2] = {{seconds, 0}, {seconds, 250000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, (tree / name).c_str(), times, 0), 0);
  }
  WriteFile(scratch.path() / "stub.exe", PeStub());
  WriteFile(scratch.path() / "script.txt",
            ToBytes(kBuildableScript + "[product]\r\nId=Ex.App\r\n"));
  for (const auto& [method, store] : {std::pair{"deflate", false}, {"lzma2", false}, {"", true}}) {
    SCOPED_TRACE(method);
    BuildOptions options;
    options.script = (scratch.path() / "script.txt").string();
    options.tree = tree.string();
    options.output = (scratch.path() / "setup.exe").string();
    options.stub = (scratch.path() / "stub.exe").string();
    options.method = store ? "deflate" : method;
    options.store = store;
    options.quiet = true;
    ASSERT_EQ(run_build(options), 0);
    const Bytes setup = ReadFile(options.output);
    MemoryInputFile input(setup.data(), setup.size());
    PackageInfo info;
    ASSERT_EQ(ReadPackageFrom(input, &info), PACKAGE_VERIFIED);
    MemoryTreeOutput installed;
    EXPECT_TRUE(ExtractTree(input, info.treeOffset, installed, {}).Clean());
    const Bytes uninstaller = installed.Find(u"uninstall.exe")->bytes;
    // The stub, then (behind the digest) the script as stored.
    const size_t scriptEnd = SCRIPT_OFFSET + DecodeU32(setup.data() + SCRIPT_LENGTH_OFFSET);
    for (const auto& [from, to] :
         {std::pair<size_t, size_t>{0, STUB_SIZE}, {SCRIPT_FLAG_OFFSET, scriptEnd}}) {
      EXPECT_TRUE(std::equal(setup.begin() + from, setup.begin() + to, uninstaller.begin() + from,
                             uninstaller.begin() + to));
    }

    MemoryInputFile record(uninstaller.data(), uninstaller.size());
    ASSERT_EQ(ReadPackageFrom(record, &info), PACKAGE_VERIFIED);
    EXPECT_EQ(info.treeMethod, TREE_METHOD_RECORD);
    PackageTree index;
    ASSERT_TRUE(OpenPackageTree(record, info.treeOffset, &index));
    EXPECT_EQ(index.dataAreaLength, 0u);
    EXPECT_EQ(index.dataBase / PACKAGE_ALIGNMENT, (uninstaller.size() - 1) / PACKAGE_ALIGNMENT);
    struct Lister final : TreeVisitor {
      std::string listed;
      bool OnDirectory(std::u16string_view path, const IndexEntry&) override {
        listed += Narrow(path) + "\\ ";
        return true;
      }
      bool OnFile(std::u16string_view path, const char16_t*, const IndexEntry& entry) override {
        listed += Narrow(path) + " " + std::to_string(entry.storedSize) + " " +
                  std::to_string(entry.offset + entry.flags) + " " +
                  std::to_string(entry.time.year) + " ";
        return true;
      }
    } lister;
    EXPECT_TRUE(WalkTree(index, 3, lister));
    EXPECT_EQ(lister.listed,
              "a.txt 5000 0 2030 d\\ d\\e 0 0 2001 d\\f.bin 3000 0 2033 "
              "uninstall.exe " +
                  std::to_string(uninstaller.size()) + " 0 2033 ");
  }
}

TEST(SignCommandTest, PlaceholdersNameTheFiles) {
  const std::pair<const char*, const char*> checks[] = {
      {"osslsigncode sign -in {in} -out {out}", ""},
      {"signtool sign /f c.pfx {file}", ""},
      {"tool {in}", "needs {out} too"},
      {"tool {out}", "needs {out} too"},
      {"tool {in} {out} {file}", "not both"},
      {"tool {file} {out}", "not both"},
      {"tool {IN} {Out} {file ", "names no file"},
  };
  for (const auto& [command, why] : checks) {
    const char* said = CheckSignCommand(command);
    EXPECT_EQ(said == nullptr, *why == '\0') << command;
    EXPECT_NE(std::string(said == nullptr ? "" : said).find(why), std::string::npos) << said;
  }
  EXPECT_EQ(ExpandSignCommand("a {in} b {out}{file} {in}{ {out", "I", "O"), "a I b OI I{ {out");
}

// The listing follows the stub's walk, entries it passes over included, and
// names every entry by its bytes as stored; "ok" shares CON's stored bytes,
// which count once.
TEST(ListCommandTest, ListsWhatTheWalkSkipsUnderItsStoredName) {
  TreeSection section;
  section.Dir("").File("in", {}).End();
  section.Dir("d\xFF").File("CON", ToBytes("hi")).RawFile("ok", 2, 0).End();  // the stub reads "d"
  ScratchDir scratch;
  WriteFile(scratch.path() / "setup.exe", AssemblePackage(PeStub(), 0, {}, section.Build()));
  ListOptions options;
  options.file = (scratch.path() / "setup.exe").string();
  testing::internal::CaptureStdout();
  EXPECT_EQ(run_list(options), 0);
  const std::string listed = testing::internal::GetCapturedStdout();
  for (const char* line : {"  /  [skipped: the name is not safe to create]\n",
                           "  in  [skipped: inside a skipped directory]\n", "  d\\xFF/\n",
                           "  d\\xFF/CON  [skipped: the name is not safe to create]\n",
                           "  d\\xFF/ok\n", "3 files, 4 bytes (2 stored)\n"}) {
    EXPECT_NE(listed.find(line), std::string::npos) << line << listed;
  }
}

TEST(DisplayTest, ControlCharactersAndBadBytesAreEscaped) {
  const std::string text = "a\x1B[2J\tb\nc\r\xC2\x9B\xFF\xC3\xA9";
  EXPECT_EQ(DisplayPath(text), "a\\x1B[2J\\x09b\\x0Ac\\x0D\\xC2\\x9B\\xFF\xC3\xA9");
  EXPECT_EQ(DisplayText(text), "a\\x1B[2J\tb\nc\\x0D\\xC2\\x9B\\xFF\xC3\xA9");
}
