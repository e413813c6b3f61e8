#include "package/tree_walker.h"

#include <memory>
#include <vector>

#include "base/entry_time.h"
#include "base/utf8.h"
#include "package/decode_ahead.h"
#include "platform/windows_name.h"

namespace {

// A name of MAX_ENTRY_NAME_BYTES bytes decodes to at most as many units,
// plus the terminator the progress message needs.
constexpr size_t kNameUnits = MAX_ENTRY_NAME_BYTES + 2;
// Each level adds a separator and at least one unit to a bounded path.
constexpr size_t kMaxLevels = MAX_ENTRY_PATH_UNITS / 2 + 1;

// running * 100 / divisor, rounded down, with running < divisor. The product
// fits in 64 bits for any real package; past that, 100 additions with the
// remainder kept below the divisor give the same quotient. The divisor is at
// most the index's file count times 2^32, far below 2^63, so nothing wraps.
int Percent(uint64_t running, uint64_t divisor) {
  if (running <= UINT64_MAX / 100) return static_cast<int>(running * 100 / divisor);
  int quotient = 0;
  uint64_t remainder = 0;
  for (int i = 0; i < 100; ++i) {
    remainder += running;
    if (remainder >= divisor) {
      remainder -= divisor;
      ++quotient;
    }
  }
  return quotient;
}

// The walk WalkTree describes, for the stub's own visitors (plain structs,
// called directly) and for a TreeVisitor alike.
class TreeWalk {
 public:
  TreeWalk(const PackageTree& tree, size_t reservedUnits)
      : tree_(tree), reservedUnits_(reservedUnits) {
    path_.reserve(MAX_ENTRY_PATH_UNITS + 1);
    levels_.reserve(kMaxLevels);
  }

  template <typename Visitor>
  bool Run(Visitor& visitor) {
    path_.clear();
    levels_.clear();
    size_t skipDepth = 0;
    size_t position = 0;
    while (position < tree_.indexLength) {
      IndexEntry entry;
      const size_t length =
          DecodeIndexEntry(tree_.index + position, tree_.indexLength - position, &entry);
      if (length == 0) return false;
      position += length;

      if (entry.type == ENTRY_END || entry.type == ENTRY_DIRECTORY_END) {
        if (skipDepth != 0) {
          --skipDepth;
        } else if (levels_.empty()) {
          return true;
        } else {
          path_.resize(levels_.back());
          levels_.pop_back();
        }
        continue;
      }
      const bool isDirectory = entry.type == ENTRY_DIRECTORY;
      if (!isDirectory && entry.type != ENTRY_FILE) continue;
      if (skipDepth != 0) {
        if constexpr (requires { visitor.OnPassedOver(entry, skipDepth); }) {
          visitor.OnPassedOver(entry, skipDepth);
        }
        if (isDirectory) ++skipDepth;
        continue;
      }

      const size_t parentLength = path_.size();
      const ExtractIssue issue = AppendName(entry);
      if (issue != 0) {
        visitor.OnSkipped(issue, path_, entry, isDirectory);
        if (isDirectory) skipDepth = 1;
        continue;
      }
      if (isDirectory) {
        if (!visitor.OnDirectory(path_, entry)) {
          path_.resize(parentLength);
          skipDepth = 1;
          continue;
        }
        levels_.push_back(parentLength);
        continue;
      }
      const bool goOn = visitor.OnFile(path_, name_, entry);
      path_.resize(parentLength);
      if (!goOn) return true;
    }
    return true;
  }

 private:
  // Appends "\name" (or the name at the top) to the path and keeps the
  // decoded name; on a refusal the path is left as it was.
  ExtractIssue AppendName(const IndexEntry& entry) {
    if (entry.nameLength > MAX_ENTRY_NAME_BYTES) return EXTRACT_NAME_TOO_LONG;
    const size_t units = Utf8ToWide(name_, kNameUnits, entry.name, entry.nameLength);
    if (units >= kNameUnits) return EXTRACT_NAME_TOO_LONG;
    const std::u16string_view name(name_, units);
    if (!IsSafeFileName(name)) return EXTRACT_UNSAFE_NAME;
    const size_t separator = path_.empty() ? 0 : 1;
    if (reservedUnits_ + path_.size() + separator + units > MAX_ENTRY_PATH_UNITS) {
      return EXTRACT_PATH_TOO_LONG;
    }
    if (separator != 0) path_.push_back(u'\\');
    path_.append(name);
    return static_cast<ExtractIssue>(0);
  }

  const PackageTree& tree_;
  const size_t reservedUnits_;
  std::u16string path_;
  std::vector<size_t> levels_;  // the path's length at each open level
  char16_t name_[kNameUnits];
};

// What a file's contents come to, on their way out.
class CountingOutput final : public OutputFile {
 public:
  explicit CountingOutput(OutputFile& inner) : inner_(inner) {}
  bool Write(const void* data, size_t size) override {
    if (!inner_.Write(data, size)) return false;
    bytes += size;
    return true;
  }
  bool Close() override { return inner_.Close(); }
  void Discard() override { inner_.Discard(); }
  bool SetTime(const EntryTime& time) override { return inner_.SetTime(time); }
  uint64_t bytes = 0;

 private:
  OutputFile& inner_;
};

// A file entry's key among the jobs decoded ahead: its place in the index.
uint64_t AheadKey(const PackageTree& tree, const IndexEntry& entry) {
  return static_cast<uint64_t>(entry.name - reinterpret_cast<const char*>(tree.index));
}

// First walk: creates the directories, adds up the stored sizes and, when
// deflated files are decoded ahead, plans them.
struct CountingVisitor {
  TreeOutput& output;
  const PackageTree& tree;
  DecodeAhead* ahead;
  uint64_t total = 0;

  // A link in the way is passed over here and reported by the second walk.
  bool OnDirectory(std::u16string_view path, const IndexEntry&) {
    return output.MakeDirectory(path) != DirectoryOutcome::kLink;
  }
  bool OnFile(std::u16string_view, const char16_t*, const IndexEntry& entry) {
    total += entry.storedSize;
    if (ahead != nullptr && tree.method == TREE_METHOD_PER_FILE && IsDecodedAhead(entry)) {
      AheadJob job;
      job.key = AheadKey(tree, entry);
      job.entry = entry;
      job.decodedSize = kAheadFileBytes;
      ahead->Plan(job);
    }
    return true;
  }
  void OnSkipped(ExtractIssue, std::u16string_view, const IndexEntry&, bool) {}
};

// Second walk: writes the files and reports progress and trouble.
struct ExtractingVisitor {
  InputFile& file;
  const PackageTree& tree;
  TreeOutput& output;
  const ExtractOptions& options;
  CopyBuffers& buffers;
  ExtractStats& stats;
  uint64_t divisor;
  DecodeAhead* ahead;  // started, or null
  uint64_t running = 0;

  bool OnDirectory(std::u16string_view path, const IndexEntry& entry) {
    if (output.MakeDirectory(path) != DirectoryOutcome::kLink) return true;
    ++stats.skipped;
    Tell(EXTRACT_LINK_IN_TARGET, path, entry, true);
    return false;
  }

  // False ends the walk: once the volume is full, every later file would
  // fail alike, and what follows the tree must not run on half of it.
  bool OnFile(std::u16string_view path, const char16_t* name, const IndexEntry& entry) {
    running += entry.storedSize;
    if (options.progress != nullptr) {
      options.progress->OnFileName(name);
      options.progress->OnPercent(Percent(running, divisor));
    }
    CreateRefusal why = CreateRefusal::kFailed;
    std::unique_ptr<OutputFile> out = output.CreateOutput(path, &why);
    if (!out) {
      if (why == CreateRefusal::kLink) {
        ++stats.skipped;
        Tell(EXTRACT_LINK_IN_TARGET, path, entry, false);
        return true;
      }
      return Failed(EXTRACT_CREATE_FAILED, path, entry);
    }
    ++stats.filesWritten;
    CopyResult result = COPY_OK;
    CountingOutput counted(*out);
    if (entry.storedSize != 0) {
      result = buffers.input == nullptr ? COPY_CUT_SHORT : Copy(entry, counted);
    }
    // A file that did not come out whole is not put in place: an old file of
    // that name keeps its bytes.
    if (result != COPY_OK) {
      out->Discard();
      return Failed(static_cast<ExtractIssue>(result), path, entry);
    }
    const bool timeSet = IsValidEntryTime(entry.time) && out->SetTime(entry.time);
    const bool placed = out->Close();
    out.reset();
    if (!placed) return Failed(EXTRACT_WRITE_FAILED, path, entry);
    stats.bytesWritten += counted.bytes;
    if (options.observer != nullptr) options.observer->OnWritten(path);
    if (!timeSet && IsValidEntryTime(entry.time)) output.SetEntryTime(path, entry.time);
    return true;
  }

  // The bytes decoded ahead and how their decoding ended, as the copy
  // would have written and ended; else the copy itself.
  CopyResult Copy(const IndexEntry& entry, OutputFile& out) {
    if (ahead == nullptr) return CopyEntryData(file, tree, entry, out, buffers);
    if (tree.method == TREE_METHOD_PER_FILE && IsDecodedAhead(entry)) {
      const AheadJob* job = ahead->Take(AheadKey(tree, entry));
      if (job != nullptr && job->result >= 0) {
        if (job->length != 0 && !out.Write(job->bytes, job->length)) return COPY_WRITE_FAILED;
        return static_cast<CopyResult>(job->result);
      }
    }
    return CopyEntryData(ahead->OwnerInput(), tree, entry, out, buffers);
  }

  bool Failed(ExtractIssue issue, std::u16string_view path, const IndexEntry& entry) {
    stats.diskFull = output.DiskFull();
    Report(stats.diskFull ? EXTRACT_DISK_FULL : issue, path, entry, false);
    return !stats.diskFull;
  }

  void OnSkipped(ExtractIssue issue, std::u16string_view parent, const IndexEntry& entry,
                 bool isDirectory) {
    ++stats.skipped;
    if (options.observer != nullptr) {
      options.observer->OnIssue(issue, parent, std::string_view(entry.name, entry.nameLength),
                                isDirectory);
    }
  }

  // A failure about a file whose path is `path` (parent + name).
  void Report(ExtractIssue issue, std::u16string_view path, const IndexEntry& entry,
              bool isDirectory) {
    ++stats.failed;
    Tell(issue, path, entry, isDirectory);
  }

  void Tell(ExtractIssue issue, std::u16string_view path, const IndexEntry& entry,
            bool isDirectory) {
    if (options.observer == nullptr) return;
    const size_t cut = path.rfind(u'\\');
    const std::u16string_view parent =
        cut == std::u16string_view::npos ? std::u16string_view() : path.substr(0, cut);
    options.observer->OnIssue(issue, parent, std::string_view(entry.name, entry.nameLength),
                              isDirectory);
  }
};

// The search for one file: no directories, no messages.
struct FindingVisitor {
  InputFile& file;
  const PackageTree& tree;
  std::u16string_view wanted;
  TreeOutput& output;
  std::u16string_view destination;
  bool found = false;

  bool OnDirectory(std::u16string_view, const IndexEntry&) { return true; }
  bool OnFile(std::u16string_view path, const char16_t*, const IndexEntry& entry) {
    if (path != wanted) return true;
    std::unique_ptr<OutputFile> out = output.CreateOutput(destination);
    if (!out) return false;
    found = true;
    CopyResult result = COPY_OK;
    if (entry.storedSize != 0) {
      CopyBuffers buffers;
      result = buffers.input == nullptr ? COPY_CUT_SHORT
                                        : CopyEntryData(file, tree, entry, *out, buffers);
    }
    if (result != COPY_OK) {
      out->Discard();
      return false;
    }
    const bool timeSet = IsValidEntryTime(entry.time) && out->SetTime(entry.time);
    out->Close();
    out.reset();
    if (!timeSet && IsValidEntryTime(entry.time)) output.SetEntryTime(destination, entry.time);
    return false;
  }
  void OnSkipped(ExtractIssue, std::u16string_view, const IndexEntry&, bool) {}
};

unsigned WorkersFor(unsigned wanted, uint64_t perWorker) {
  if (wanted != kDecodeWorkersAuto) return wanted;
  return DecodeWorkerCount(ProcessorCount(), AvailablePhysicalMemory(), perWorker);
}

// Plans a solid tree's blocks (deflated files were planned by the counting
// walk) and starts the workers. False when there is nothing to decode ahead
// or no worker started.
bool StartAhead(InputFile& file, const PackageTree& tree, unsigned wanted, DecodeAhead& ahead,
                CopyBuffers& buffers) {
  if (tree.method != TREE_METHOD_SOLID_LZMA2) {
    return ahead.Start(WorkersFor(wanted, 2 * uint64_t{kAheadFileBytes}), kAheadFilesBudget);
  }
  buffers.solid = std::make_unique<SolidStream>();
  SolidStream& solid = *buffers.solid;
  if (!solid.Open(file, tree.dataBase)) return false;
  const SolidHeader& header = solid.header();
  for (uint32_t i = 0; i < header.blockCount; ++i) {
    AheadJob job;
    job.key = i;
    job.from = solid.starts()[i];
    job.block = solid.blocks()[i];
    const uint64_t start = uint64_t{i} * header.blockSize;
    job.decodedSize = static_cast<uint32_t>(header.streamLength - start < header.blockSize
                                                ? header.streamLength - start
                                                : header.blockSize);
    ahead.Plan(job);
  }
  // Each worker holds a block's stored and decoded bytes; the writer holds
  // one more decoded block.
  const unsigned workers = WorkersFor(wanted, 2 * uint64_t{header.blockSize});
  if (!ahead.Start(workers, (workers + 1) * uint64_t{header.blockSize},
                   solid.DictionaryProperty())) {
    return false;
  }
  solid.UseAhead(&ahead, ahead.OwnerInput());
  return true;
}

}  // namespace

const char* DescribeExtractIssue(ExtractIssue issue) {
  switch (issue) {
    case EXTRACT_UNSAFE_NAME:
      return "skipped: the name is not safe to create";
    case EXTRACT_NAME_TOO_LONG:
      return "skipped: the name is longer than 510 bytes";
    case EXTRACT_PATH_TOO_LONG:
      return "skipped: the path is longer than 511 characters";
    case EXTRACT_CREATE_FAILED:
      return "failed: the file could not be created";
    case EXTRACT_DATA_CUT_SHORT:
      return "incomplete: the package ends inside the file's data";
    case EXTRACT_INFLATE_FAILED:
      return "incomplete: the file's compressed data is damaged";
    case EXTRACT_WRITE_FAILED:
      return "incomplete: the file could not be written";
    case EXTRACT_INDEX_CUT_SHORT:
      return "the index ends inside an entry; the rest of the tree is lost";
    case EXTRACT_TREE_DAMAGED:
      return "damaged: the file tree is missing, cut short or does not inflate";
    case EXTRACT_LINK_IN_TARGET:
      return "skipped: a link or junction of that name is in the target";
    case EXTRACT_DISK_FULL:
      return "failed: the disk is full; the rest of the tree was not written";
  }
  return "failed";
}

bool WalkTree(const PackageTree& tree, size_t reservedUnits, TreeVisitor& visitor) {
  TreeWalk walk(tree, reservedUnits);
  return walk.Run(visitor);
}

ExtractStats ExtractTree(InputFile& file, uint64_t treeOffset, TreeOutput& output,
                         const ExtractOptions& options) {
  ExtractStats stats;
  PackageTree tree;
  output.MakeDirectory(u"");
  if (!OpenPackageTree(file, treeOffset, &tree)) {
    stats.indexCutShort = true;
    return stats;
  }
  TreeWalk walk(tree, options.rootPathUnits + 1);
  std::unique_ptr<DecodeAhead> ahead;
  if (options.decodeWorkers != 0) {
    ahead = std::make_unique<DecodeAhead>(file, tree, options.progress);
  }

  CountingVisitor counter{output, tree, ahead.get()};
  const bool whole = walk.Run(counter);

  CopyBuffers buffers;
  if (ahead && !StartAhead(file, tree, options.decodeWorkers, *ahead, buffers)) ahead.reset();
  output.MakeDirectory(u"");
  ExtractingVisitor extractor{file,       tree, output, options, buffers, stats, counter.total + 1,
                              ahead.get()};
  walk.Run(extractor);
  stats.storedTotal = counter.total;
  if (tree.damaged) {
    stats.indexCutShort = true;
    if (options.observer != nullptr)
      options.observer->OnIssue(EXTRACT_TREE_DAMAGED, u"", "", false);
  }
  if (!whole) {
    stats.indexCutShort = true;
    if (options.observer != nullptr) {
      options.observer->OnIssue(EXTRACT_INDEX_CUT_SHORT, u"", "", false);
    }
  }
  return stats;
}

bool FindAndExtractFile(InputFile& file, uint64_t treeOffset, std::u16string_view wantedPath,
                        TreeOutput& output, std::u16string_view destination) {
  PackageTree tree;
  if (!OpenPackageTree(file, treeOffset, &tree)) return false;
  TreeWalk walk(tree, 0);
  FindingVisitor finder{file, tree, wantedPath, output, destination};
  walk.Run(finder);
  return finder.found;
}
