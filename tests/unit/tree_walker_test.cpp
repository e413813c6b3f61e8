// The tree walk against hand-made tree sections, written into the in-memory
// output: the documented examples, the progress sequence, copying, and a
// hostile-package suite in which nothing may land outside the target.
#include "package/tree_walker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/byte_order.h"
#include "package/decode_ahead.h"
#include "package/inflate.h"
#include "platform/memory_tree_output.h"
#include "test_support.h"
#include "unsafe_names.h"

namespace {

constexpr EntryTime kTime = kEntryTime;

struct RecordingProgress final : ExtractProgress {
  std::vector<std::pair<std::u16string, int>> events;  // name, then percent
  void OnFileName(const char16_t* name) override { events.emplace_back(name, -1); }
  void OnPercent(int percent) override {
    ASSERT_FALSE(events.empty());
    ASSERT_EQ(events.back().second, -1) << "a percentage without a file name before it";
    events.back().second = percent;
  }
  std::vector<int> Percents() const {
    std::vector<int> out;
    for (const auto& event : events) out.push_back(event.second);
    return out;
  }
};

struct RecordingObserver final : ExtractObserver {
  struct Issue {
    ExtractIssue issue;
    std::u16string parent;
    std::string name;
    bool isDirectory;
  };
  std::vector<Issue> issues;
  void OnIssue(ExtractIssue issue, std::u16string_view parent, std::string_view name,
               bool isDirectory) override {
    issues.push_back({issue, std::u16string(parent), std::string(name), isDirectory});
  }
};

// Remembers where each read started, to prove that data was never read.
class SpyInputFile final : public InputFile {
 public:
  explicit SpyInputFile(const Bytes& bytes) : inner_(bytes.data(), bytes.size()) {}
  int64_t Size() override { return inner_.Size(); }
  bool Seek(uint64_t offset) override {
    seeks.push_back(offset);
    return inner_.Seek(offset);
  }
  size_t Read(void* buffer, size_t size) override { return inner_.Read(buffer, size); }
  std::vector<uint64_t> seeks;

 private:
  MemoryInputFile inner_;
};

struct Extraction {
  MemoryTreeOutput output;
  RecordingProgress progress;
  RecordingObserver observer;
  ExtractStats stats;
  std::vector<uint64_t> seeks;

  explicit Extraction(const Bytes& file, size_t rootUnits = 2, MemoryTreeOutput prepared = {},
                      unsigned decodeWorkers = 0)
      : output(std::move(prepared)) {
    SpyInputFile input(file);
    ExtractOptions options;
    options.decodeWorkers = decodeWorkers;
    options.rootPathUnits = rootUnits;
    options.progress = &progress;
    options.observer = &observer;
    stats = ExtractTree(input, 0, output, options);
    seeks = input.seeks;
  }
  Bytes FileBytes(std::u16string_view path) const {
    const MemoryTreeOutput::Node* node = output.Find(path);
    if (node == nullptr || node->isDirectory) {
      ADD_FAILURE() << "no file " << std::string(path.begin(), path.end());
      return {};
    }
    return node->bytes;
  }
  bool IsDirectory(std::u16string_view path) const {
    const MemoryTreeOutput::Node* node = output.Find(path);
    return node != nullptr && node->isDirectory;
  }
  std::vector<std::u16string> Paths() const {
    std::vector<std::u16string> out;
    for (const auto& [path, node] : output.nodes) out.push_back(path);
    return out;
  }
};

}  // namespace

// One walk of a tree written into the in-memory output, and what it gives.
struct WalkCase {
  const char* name;
  std::function<void(TreeSection&)> build;
  std::vector<std::u16string> paths;  // all the output holds
  std::vector<int> percents;
  std::vector<ExtractIssue> issues;
  std::array<uint32_t, 3> counts;              // files written, entries skipped, files failed
  std::map<std::u16string, Bytes> files = {};  // some of the files' contents
  size_t rootUnits = 2;
  std::function<void(MemoryTreeOutput&)> prepare = nullptr;
  size_t seeks = 0;  // when not 0: the tree's seek and one per file read
  bool compressIndex = false;
};

const WalkCase kWalks[] = {
    {"the format's worked example, its index compressed",
     [](TreeSection& t) { t = WorkedExample(); },
     {u"", u"sub", u"sub\\a.txt", u"sub\\e.txt"},
     {83, 83},
     {},
     {2, 0, 0},
     {{u"sub\\a.txt", ToBytes("hello")}, {u"sub\\e.txt", {}}},
     2,
     nullptr,
     0,
     true},
    {"the running total over the total + 1",
     [](TreeSection& t) { t.File("one", RandomBytes(50, 1)).File("two", RandomBytes(150, 2)); },
     {u"", u"one", u"two"},
     {24, 99},
     {},
     {2, 0, 0}},
    {"empty files and folders; an index without an end ends with the index",
     [](TreeSection& t) {
       t.File("a", {}).Dir("d").File("b", {}).End().Dir("empty").End().File("c", {});
     },
     {u"", u"a", u"c", u"d", u"d\\b", u"empty"},
     {0, 0, 0},
     {},
     {3, 0, 0}},
    {"a directory end at the top ends the walk; unknown types are passed over",
     [](TreeSection& t) {
       t.index = std::string("\x07skip\0\0\0\0\0", 10);
       t.File("before", ToBytes("b")).End().File("after", ToBytes("y"));
     },
     {u"", u"before"},
     {50},
     {},
     {1, 0, 0}},
    {"a folder that is a link in the target, with all below it",
     [](TreeSection& t) {
       t.Dir("linked").File("x", {1}).Dir("deeper").File("y", {2}).End().End().File("z", {3});
     },
     {u"", u"z"},
     {50},
     {EXTRACT_LINK_IN_TARGET},
     {1, 1, 0},
     {},
     2,
     [](MemoryTreeOutput& out) { out.links.insert(u"linked"); }},
    {"files that cannot be created or written still count",
     [](TreeSection& t) {
       t.File("a", RandomBytes(50, 1)).File("locked", RandomBytes(100, 2));
       t.File("big", RandomBytes(150, 3)).Deflated("zeros", Bytes(100000, 7)).File("c", {1, 2});
     },
     {u"", u"a", u"c", u"zeros"},
     {},
     {EXTRACT_CREATE_FAILED, EXTRACT_WRITE_FAILED, EXTRACT_WRITE_FAILED},
     {4, 0, 3},
     {{u"a", RandomBytes(50, 1)}, {u"c", {1, 2}}, {u"zeros", ToBytes("old")}},
     2,
     [](MemoryTreeOutput& out) {
       out.MakeDirectory(u"");
       // Kept: the new one never came out whole.
       out.nodes[u"zeros"] = {false, ToBytes("old"), true, kTime};
       out.refuse.insert(u"locked");
       out.writeLimit = 100;
     },
     5},
    {"a link at a file's name is left alone; a full disk ends the walk there",
     [](TreeSection& t) {
       t.File("link", {1}).File("a", RandomBytes(60, 1)).File("b", RandomBytes(60, 2));
       t.File("c", {3});
     },
     {u"", u"a"},
     {0, 49, 98},
     {EXTRACT_LINK_IN_TARGET, EXTRACT_DISK_FULL},
     {2, 1, 1},
     {{u"a", RandomBytes(60, 1)}},
     2,
     [](MemoryTreeOutput& out) {
       out.links.insert(u"link");
       out.spaceLimit = 100;
     }},
    {"sizes and offsets past the end of the file",
     [](TreeSection& t) {
       t.File("whole", ToBytes("0123456789")).RawFile("long", 1000, 5).RawFile("far", 100, ~15u);
       t.RawFile("huge", 0xFFFFFFFFu, 0).File("next", ToBytes("n"));
     },
     {u"", u"next", u"whole"},
     {},
     {EXTRACT_DATA_CUT_SHORT, EXTRACT_DATA_CUT_SHORT, EXTRACT_DATA_CUT_SHORT},
     {5, 0, 3},
     {{u"whole", ToBytes("0123456789")}, {u"next", ToBytes("n")}}},
    {"one huge file keeps a divisor",
     [](TreeSection& t) { t.RawFile("max", 0xFFFFFFFFu, 0); },
     {u""},
     {99},
     {EXTRACT_DATA_CUT_SHORT},
     {1, 0, 1}},
    {"huge totals keep a divisor",
     [](TreeSection& t) {
       t.RawFile("a", 0xFFFFFFFFu, 0).RawFile("b", 0xFFFFFFFFu, 0).File("c", {});
     },
     {u"", u"c"},
     {49, 99, 99},
     {EXTRACT_DATA_CUT_SHORT, EXTRACT_DATA_CUT_SHORT},
     {3, 0, 2}},
    {"the longest names fit behind no target at all: 510 bytes, or 255 units in as many",
     [](TreeSection& t) {
       std::string wide;
       for (int i = 0; i < 255; ++i) wide += "\xC3\xA9";
       t.File(std::string(MAX_ENTRY_NAME_BYTES, 'n'), {}).File(wide, {});
       t.File(std::string(MAX_ENTRY_NAME_BYTES + 1, 'n'), {});
     },
     {u"", std::u16string(MAX_ENTRY_NAME_BYTES, u'n'), std::u16string(255, u'\u00E9')},
     {},
     {EXTRACT_NAME_TOO_LONG},
     {2, 1, 0},
     {},
     0},
    {"names and paths too long are skipped, not shortened",
     [](TreeSection& t) {
       // Target (100) + '\' + 200 + '\' + 209 = 511 fits; one more unit does not.
       t.Dir(std::string(200, 'd')).File(std::string(209, 'f'), ToBytes("edge"));
       t.File(std::string(210, 'g'), ToBytes("over")).Dir(std::string(210, 'h')).File("x", {});
       t.End().End().File(std::string(MAX_ENTRY_NAME_BYTES + 1, 'n'), ToBytes("too long"));
     },
     {u"", std::u16string(200, u'd'),
      std::u16string(200, u'd') + u"\\" + std::u16string(209, u'f')},
     {},
     {EXTRACT_PATH_TOO_LONG, EXTRACT_PATH_TOO_LONG, EXTRACT_NAME_TOO_LONG},
     {1, 3, 0},
     {},
     100},
};

TEST(TreeWalkerTest, Walks) {
  for (const WalkCase& c : kWalks) {
    SCOPED_TRACE(c.name);
    TreeSection tree;
    c.build(tree);
    MemoryTreeOutput prepared;
    if (c.prepare) c.prepare(prepared);
    Extraction run(tree.Build(c.compressIndex), c.rootUnits, std::move(prepared));
    EXPECT_EQ(run.Paths(), c.paths);
    if (!c.percents.empty()) {
      EXPECT_EQ(run.progress.Percents(), c.percents);
    }
    std::vector<ExtractIssue> issues;
    for (const auto& issue : run.observer.issues) issues.push_back(issue.issue);
    EXPECT_EQ(issues, c.issues);
    EXPECT_EQ(run.stats.filesWritten, c.counts[0]);
    EXPECT_EQ(run.stats.skipped, c.counts[1]);
    EXPECT_EQ(run.stats.failed, c.counts[2]);
    EXPECT_FALSE(run.stats.indexCutShort);
    EXPECT_TRUE(run.output.unsafePaths.empty());
    for (const auto& [path, bytes] : c.files) EXPECT_EQ(run.FileBytes(path), bytes);
    if (c.seeks != 0) {
      EXPECT_EQ(run.seeks.size(), c.seeks);
    }
    for (const auto& [path, node] : run.output.nodes) {
      EXPECT_TRUE(node.isDirectory || (node.timeSet && node.time == kTime));
    }
  }
}

TEST(TreeWalkerTest, OnlyValidTimesAreSetAndThePercentagesComeAfterTheirNames) {
  TreeSection tree;
  tree.File("bad", ToBytes("b"), {2023, 2, 29, 0, 0, 0, 0}).File("good", ToBytes("g"));
  Extraction run(tree.Build());
  EXPECT_EQ(run.FileBytes(u"bad"), ToBytes("b"));
  EXPECT_FALSE(run.output.Find(u"bad")->timeSet);
  EXPECT_TRUE(run.output.Find(u"good")->timeSet);
  const std::vector<std::pair<std::u16string, int>> events = {{u"bad", 33}, {u"good", 66}};
  EXPECT_EQ(run.progress.events, events);
}

void ExpectLargeAndDamagedFiles(unsigned workers);

// Large streams span many windows and input chunks; a damaged one ends its
// own file only, and is not put in place. The same when files are decoded
// ahead on other threads (one too large for that, decoded by the writer).
TEST(TreeWalkerCopyTest, LargeAndDamagedCompressedFiles) {
  for (const unsigned workers : {0u, 1u, 3u}) {
    SCOPED_TRACE(workers);
    ExpectLargeAndDamagedFiles(workers);
  }
}

TEST(DecodeAheadTest, WorkersFollowTheCoresAndTheMemory) {
  constexpr uint64_t kBlock = 64 << 20;
  const std::array<std::array<uint64_t, 4>, 6> cases = {{
      // cores, available memory, per worker, workers
      {1, 16ull << 30, kBlock, 1},
      {2, 16ull << 30, kBlock, 2},
      {64, 1ull << 40, kBlock, kMaxDecodeWorkers},
      {4, 5 * kBlock, kBlock, 2},  // half the memory holds two and a half
      {4, kBlock, kBlock, 1},      // not even one: still one
      {4, 0, kBlock, 1},           // unknown
  }};
  for (const auto& [cores, available, perWorker, workers] : cases) {
    EXPECT_EQ(DecodeWorkerCount(static_cast<unsigned>(cores), available, perWorker), workers)
        << cores << " " << available;
  }
}

void ExpectLargeAndDamagedFiles(unsigned workers) {
  const Bytes zeros(3 << 20, 0);                 // about 3 KB deflated: ~1000 windows per chunk
  const Bytes text = TextLikeBytes(2200000, 4);  // more than a thread decodes ahead
  const Bytes noise = RandomBytes(600000, 5);    // stored size spans several input chunks
  // A stored block holding "hello", then a block of the reserved type 3.
  const Bytes broken = {0x00, 0x05, 0x00, 0xFA, 0xFF, 'h', 'e', 'l', 'l', 'o', 0x07, 0, 0};
  const Bytes good = RawDeflate(text, 1);
  Bytes trailing = good;  // a stream that ends early leaves the rest unread
  trailing.resize(trailing.size() + 100, 0xEE);
  TreeSection tree;
  tree.Deflated("zeros", zeros).Deflated("noise", noise).File("plain", noise);
  tree.File("broken", broken, kTime, ENTRY_COMPRESSED)
      .File("cut", Bytes(good.begin(), good.begin() + good.size() / 2), kTime, ENTRY_COMPRESSED)
      .File("trailing", trailing, kTime, ENTRY_COMPRESSED)
      .File("next", ToBytes("fine"));
  Extraction run(tree.Build(), 2, {}, workers);
  EXPECT_EQ(run.FileBytes(u"zeros"), zeros);
  EXPECT_EQ(run.FileBytes(u"noise"), noise);
  EXPECT_EQ(run.FileBytes(u"plain"), noise);
  EXPECT_EQ(run.FileBytes(u"trailing"), text);
  EXPECT_EQ(run.output.Find(u"broken"), nullptr);
  EXPECT_EQ(run.output.Find(u"cut"), nullptr);
  EXPECT_EQ(run.FileBytes(u"next"), ToBytes("fine"));
  // A stream that ends before its end marker is damaged too.
  ASSERT_EQ(run.observer.issues.size(), 2u);
  EXPECT_EQ(run.observer.issues[0].issue, EXTRACT_INFLATE_FAILED);
  EXPECT_EQ(run.observer.issues[0].name, "broken");
  EXPECT_EQ(run.observer.issues[1].issue, EXTRACT_INFLATE_FAILED);
  EXPECT_EQ(run.observer.issues[1].name, "cut");
  EXPECT_EQ(run.stats.failed, 2u);
}

TEST(FindAndExtractFileTest, MatchesTheExactRelativePath) {
  TreeSection tree;
  tree.File("pic.png", ToBytes("top")).File("sub\\pic.png", ToBytes("unsafe"));
  tree.Dir("sub").Deflated("pic.png", ToBytes("nested")).End();
  tree.Dir("sub").File("pic.png", ToBytes("second")).End();
  const Bytes section = tree.Build();
  // The contents of the destination; "-" when none was made. Nothing but
  // the destination is ever created.
  auto find = [&](std::u16string_view wanted) -> std::string {
    MemoryInputFile input(section.data(), section.size());
    MemoryTreeOutput output;
    output.MakeDirectory(u"");
    const bool found = FindAndExtractFile(input, 0, wanted, output, u"temp_install.png");
    const MemoryTreeOutput::Node* node = output.Find(u"temp_install.png");
    EXPECT_EQ(output.nodes.size(), found ? 2u : 1u);
    EXPECT_EQ(node != nullptr, found);
    if (node == nullptr) return "-";
    EXPECT_TRUE(node->timeSet);
    return std::string(node->bytes.begin(), node->bytes.end());
  };
  EXPECT_EQ(find(u"sub\\pic.png"), "nested");
  EXPECT_EQ(find(u"pic.png"), "top");
  for (const char16_t* wanted : {u"SUB\\pic.png", u"sub", u"missing.png", u"sub\\", u""}) {
    EXPECT_EQ(find(wanted), "-");
  }
}

TEST(TreeWalkerHostileTest, UnsafeNamesAreSkippedAtEveryLevel) {
  TreeSection tree;
  for (const UnsafeName& name : kUnsafeNames) tree.File(name.bytes, ToBytes("top"));
  tree.Dir("safe");
  for (const UnsafeName& name : kUnsafeNames) tree.File(name.bytes, ToBytes("nested"));
  for (const UnsafeName& name : kUnsafeNames) {
    tree.Dir(name.bytes).File("inside", ToBytes("x")).Dir("deeper").File("f", {}).End().End();
  }
  tree.File("kept", ToBytes("k")).End().File("after", ToBytes("a"));
  for (const UnsafeName& name : kUnsafeNames) tree.Dir(name.bytes).File("inside", {}).End();
  tree.File("last", ToBytes("l"));
  Extraction run(tree.Build());

  const size_t unsafe = kUnsafeNames.size();
  EXPECT_TRUE(run.output.unsafePaths.empty());
  EXPECT_EQ(run.Paths(),
            (std::vector<std::u16string>{u"", u"after", u"last", u"safe", u"safe\\kept"}));
  EXPECT_EQ(run.stats.skipped, 4 * unsafe);
  EXPECT_EQ(run.stats.filesWritten, 3u);
  // Skipped entries neither count nor show: only kept, after and last report.
  EXPECT_EQ(run.progress.Percents(), (std::vector<int>{25, 50, 75}));
  // No data of a skipped file was read: one seek for the tree, one per file.
  EXPECT_EQ(run.seeks.size(), 4u);
  ASSERT_EQ(run.observer.issues.size(), 4 * unsafe);
  EXPECT_EQ(run.observer.issues[0].issue, EXTRACT_UNSAFE_NAME);
  EXPECT_EQ(run.observer.issues[0].parent, u"");
  EXPECT_EQ(run.observer.issues[unsafe].parent, u"safe");
  EXPECT_FALSE(run.observer.issues[unsafe].isDirectory);
  EXPECT_TRUE(run.observer.issues.back().isDirectory);
}

// A visitor that sees what the walk passes over, as mksetup list does.
TEST(TreeWalkerHostileTest, AVisitorSeesTheEntriesOfSkippedFolders) {
  struct Visitor final : TreeVisitor {
    std::vector<std::string> seen;
    bool OnDirectory(std::u16string_view path, const IndexEntry&) override {
      seen.push_back("dir " + std::string(path.begin(), path.end()));
      return path != u"refused";
    }
    bool OnFile(std::u16string_view path, const char16_t*, const IndexEntry&) override {
      seen.push_back("file " + std::string(path.begin(), path.end()));
      return true;
    }
    void OnSkipped(ExtractIssue issue, std::u16string_view parent, const IndexEntry& entry,
                   bool isDirectory) override {
      seen.push_back("skip " + std::to_string(issue) + " " +
                     std::string(parent.begin(), parent.end()) + "|" +
                     std::string(entry.name, entry.nameLength) + (isDirectory ? "/" : ""));
    }
    void OnPassedOver(const IndexEntry& entry, size_t depth) override {
      seen.push_back("over " + std::to_string(depth) + " " +
                     std::string(entry.name, entry.nameLength));
    }
  } visitor;
  TreeSection tree;
  tree.Dir("d").Dir("..").File("x", {}).Dir("e").File("y", {}).End().End().File("CON", {}).End();
  tree.Dir("refused").File("z", {}).End().File("ok", {}).End(ENTRY_END);
  const Bytes section = tree.Build();
  MemoryInputFile input(section.data(), section.size());
  PackageTree opened;
  ASSERT_TRUE(OpenPackageTree(input, 0, &opened));
  EXPECT_TRUE(WalkTree(opened, 3, visitor));
  EXPECT_EQ(visitor.seen,
            (std::vector<std::string>{"dir d", "skip 1 d|../", "over 1 x", "over 1 e", "over 2 y",
                                      "skip 1 d|CON", "dir refused", "over 1 z", "file ok"}));
}

TEST(TreeWalkerHostileTest, DeepNestingStopsAtThePathLimit) {
  TreeSection tree;
  const int depth = 200000;
  for (int i = 0; i < depth; ++i) tree.Dir("a");
  tree.File("deep", ToBytes("d"));
  for (int i = 0; i < depth; ++i) tree.End();
  tree.File("top", ToBytes("t"));
  Extraction run(tree.Build());
  // Target "C:" + '\' + "a\a\...": 254 levels fit in 511 units.
  std::u16string deepest = u"a";
  for (int i = 0; i < 253; ++i) deepest += u"\\a";
  EXPECT_TRUE(run.IsDirectory(deepest));
  EXPECT_FALSE(run.IsDirectory(deepest + u"\\a"));
  size_t longest = 0;
  for (const auto& path : run.Paths()) longest = std::max(longest, path.size());
  EXPECT_LE(longest + 3, MAX_ENTRY_PATH_UNITS);
  EXPECT_EQ(run.stats.skipped, 1u);  // the first directory too deep, with all below it
  EXPECT_EQ(run.FileBytes(u"top"), ToBytes("t"));
}

TEST(TreeWalkerHostileTest, TruncatedIndexesEndTheWalk) {
  TreeSection tree = WorkedExample();
  tree.index.pop_back();  // the example's end, after one more file
  tree.File("z", {1}).End(ENTRY_END);
  const Bytes index(tree.index.begin(), tree.index.end());
  for (size_t cut = 0; cut <= index.size(); ++cut) {
    Bytes shorter(index.begin(), index.begin() + static_cast<std::ptrdiff_t>(cut));
    Extraction run(TreeSection::Section(0, shorter, tree.data));
    EXPECT_TRUE(run.output.unsafePaths.empty());
    // Cut inside an entry: reported; cut between entries: a shorter tree.
    const bool atBoundary = cut == 0 || cut == 9 || cut == 36 || cut == 59 || cut == 60 ||
                            cut == 83 || cut == index.size();
    EXPECT_EQ(run.stats.indexCutShort, !atBoundary) << cut;
    if (cut >= 36) {
      EXPECT_EQ(run.FileBytes(u"sub\\a.txt"), ToBytes("hello")) << cut;
    }
  }

  // The declared index length past the end of the file: read what is there,
  // but it is damaged.
  Bytes section = tree.Build();
  EncodeU32(section.data() + 1, 0xFFFFFFF0u);
  Extraction run(section);
  EXPECT_TRUE(run.output.unsafePaths.empty());
  EXPECT_NE(run.output.Find(u"sub"), nullptr);
  EXPECT_TRUE(run.stats.indexCutShort);

  // Sections cut inside their header (or missing): damaged, nothing written.
  for (size_t cut = 0; cut < 5; ++cut) {
    Extraction headless(Bytes(section.begin(), section.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_EQ(headless.Paths(), std::vector<std::u16string>{u""});
    ASSERT_EQ(headless.observer.issues.size(), 1u);
    EXPECT_EQ(headless.observer.issues[0].issue, EXTRACT_TREE_DAMAGED);
  }

  // A small index that inflates past its ceiling is damaged, not allocated.
  const Bytes bomb = RawDeflate(Bytes(4 << 20, ENTRY_DIRECTORY_END));
  ASSERT_LT(InflateCeiling(static_cast<uint32_t>(bomb.size())), 1u << 20);
  Extraction inflated(TreeSection::Section(1, bomb, {}));
  EXPECT_TRUE(inflated.stats.indexCutShort);
}
