#include "package/package_writer.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "package/entry_name.h"
#include "package/inflate.h"
#include "package/pe_signature.h"
#include "package/sha1.h"
#include "package/solid_writer.h"
#include "package/upper_case.h"

namespace {

constexpr uint64_t MAX_U32 = std::numeric_limits<uint32_t>::max();
constexpr uint64_t MAX_STORED_TOTAL = MAX_U32 - 1;
constexpr size_t COPY_CHUNK = size_t{1} << 20;

// ---------------------------------------------------------------- validation

std::string JoinPath(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "/" + name;
}

std::u16string FoldName(const std::u16string& name) {
  std::u16string folded = name;
  for (char16_t& c : folded) c = ToUpperCase(c);
  return folded;
}

std::u16string DecodeNameOrThrow(const std::string& name, const std::string& path) {
  if (name.size() > MAX_ENTRY_NAME_BYTES) {
    throw PackageError(path, "the name is " + std::to_string(name.size()) +
                                 " bytes long; the limit is " +
                                 std::to_string(MAX_ENTRY_NAME_BYTES));
  }
  std::u16string decoded;
  if (DecodeEntryNameUtf8(name.data(), name.size(), &decoded)) return decoded;
  if (FindInvalidUtf8(name.data(), name.size()) < name.size()) {
    throw PackageError(path, "the name is not valid UTF-8");
  }
  throw PackageError(path,
                     "the name holds a character outside the Basic Multilingual Plane, "
                     "which the setup program cannot write");
}

void ValidateDirectory(const TreeEntry& directory, const std::string& directoryPath,
                       size_t directoryUnits) {
  std::unordered_map<std::u16string, const std::string*> seen;
  for (const TreeEntry& child : directory.children) {
    const std::string path = JoinPath(directoryPath, child.name);
    const std::u16string name = DecodeNameOrThrow(child.name, path);
    const EntryNameProblem problem = CheckEntryName(name);
    if (problem != ENTRY_NAME_OK) throw PackageError(path, DescribeEntryNameProblem(problem));
    const size_t units = directoryUnits + (directoryUnits == 0 ? 0 : 1) + name.size();
    if (units > MAX_RELATIVE_PATH_UNITS) {
      throw PackageError(path, "the path is " + std::to_string(units) +
                                   " UTF-16 units long; the limit is " +
                                   std::to_string(MAX_RELATIVE_PATH_UNITS));
    }
    const auto [it, inserted] = seen.emplace(FoldName(name), &child.name);
    if (!inserted) {
      throw PackageError(path, "the name differs only in letter case from '" + *it->second +
                                   "'; Windows would install one over the other");
    }
    if (child.isDirectory) ValidateDirectory(child, path, units);
  }
}

// ----------------------------------------------------------------- the tree

struct FileRef {
  const TreeEntry* entry;
  std::string path;
};

void CollectFiles(const TreeEntry& directory, const std::string& directoryPath,
                  std::vector<FileRef>& files) {
  for (const TreeEntry& child : directory.children) {
    std::string path = JoinPath(directoryPath, child.name);
    if (child.isDirectory) {
      CollectFiles(child, path, files);
    } else {
      files.push_back({&child, std::move(path)});
    }
  }
}

void EncodeDirectory(const TreeEntry& directory, const std::vector<StoredFile>& stored,
                     size_t& nextFile, std::string& index) {
  for (const TreeEntry& child : directory.children) {
    if (child.isDirectory) {
      AppendDirectoryEntry(index, child.name.data(), child.name.size());
      EncodeDirectory(child, stored, nextFile, index);
      AppendEndEntry(index, ENTRY_DIRECTORY_END);
    } else {
      const StoredFile& file = stored.at(nextFile++);
      AppendFileEntry(index, child.name.data(), child.name.size(), file.flags, child.time,
                      file.storedSize, file.offset);
    }
  }
}

// ------------------------------------------------------------------ reading

[[noreturn]] void ThrowIo(const std::string& path, const char* what) {
  throw PackageError(path, std::string(what) + ": " + std::strerror(errno));
}

// Reads exactly `size` bytes and insists the file ends there: a file that
// changed size since the scan would make the index lie.
void ReadExactly(ContentReader& reader, uint8_t* buffer, uint64_t size, const std::string& path) {
  uint64_t done = 0;
  while (done < size) {
    const size_t got = reader.Read(
        buffer + done, static_cast<size_t>(std::min<uint64_t>(size - done, COPY_CHUNK)));
    if (got == 0) throw PackageError(path, "the file shrank while the package was being built");
    done += got;
  }
  uint8_t extra;
  if (reader.Read(&extra, 1) != 0) {
    throw PackageError(path, "the file grew while the package was being built");
  }
}

// -------------------------------------------------------------- compression

class Deflater {
 public:
  explicit Deflater(int level) : compressor_(libdeflate_alloc_compressor(level)) {
    if (compressor_ == nullptr) throw PackageError("", "cannot set up the compressor");
  }
  ~Deflater() { libdeflate_free_compressor(compressor_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Compresses into `out` (room for `size - 1` bytes); returns the length, or
  // 0 when raw deflate is not strictly smaller than the input.
  size_t CompressSmaller(const uint8_t* in, size_t size, uint8_t* out) {
    if (size < 2) return 0;
    return libdeflate_deflate_compress(compressor_, in, size, out, size - 1);
  }

 private:
  libdeflate_compressor* compressor_;
};

// A block of bytes as it goes into the package, with its flag.
struct StoredBlock {
  std::string bytes;
  bool compressed = false;
};

StoredBlock StoreSmallest(std::string_view data, const WriterOptions& options) {
  StoredBlock block;
  if (!options.store && data.size() >= 2) {
    Deflater deflater(options.level);
    std::string out(data.size() - 1, '\0');
    const size_t n = deflater.CompressSmaller(reinterpret_cast<const uint8_t*>(data.data()),
                                              data.size(), reinterpret_cast<uint8_t*>(out.data()));
    // Readers refuse a block that inflates past its ceiling as damaged.
    if (n != 0 && data.size() <= InflateCeiling(static_cast<uint32_t>(n))) {
      out.resize(n);
      block.bytes = std::move(out);
      block.compressed = true;
      return block;
    }
  }
  block.bytes.assign(data);
  return block;
}

// Identifies a file's contents: its size and SHA-1.
using ContentKey = std::string;

ContentKey KeyOf(const uint8_t* data, size_t size) {
  Sha1Context context;
  Sha1Init(&context);
  Sha1UpdateLarge(&context, data, size);
  ContentKey key(8 + SHA1_DIGEST_SIZE, '\0');
  for (int i = 0; i < 8; ++i)
    key[static_cast<size_t>(i)] = static_cast<char>(uint64_t{size} >> (8 * i));
  Sha1Final(&context, reinterpret_cast<uint8_t*>(key.data() + 8));
  return key;
}

// One file's bytes as they go into the data area.
struct Slot {
  std::unique_ptr<uint8_t[]> data;
  size_t length = 0;
  bool compressed = false;
  ContentKey key;         // set when identical files are shared
  bool repeated = false;  // an earlier file has the same contents; no data
  bool ready = false;
  std::exception_ptr error;
};

// Compresses the files of ordinary size on worker threads, ahead of the
// writer but never more than a bounded number of files and bytes. Workers
// claim files in index order, so the file the writer waits for is always
// claimed first; empty files and files for the zlib stream are left to the
// writer. When identical files are shared, a worker skips compressing a file
// whose contents an earlier file (in index order) already has: the writer
// meets that one first and reuses its data.
class ParallelCompressor {
 public:
  ParallelCompressor(const std::vector<FileRef>& files, ContentSource& source,
                     const WriterOptions& options)
      : files_(files), source_(source), options_(options), slots_(files.size()) {
    const unsigned jobs = std::max(1u, options.jobs);
    maxAhead_ = size_t{4} * jobs;
    try {
      for (unsigned i = 0; i < jobs; ++i) workers_.emplace_back([this] { Work(); });
    } catch (...) {
      Stop();
      throw;
    }
  }
  ~ParallelCompressor() { Stop(); }
  ParallelCompressor(const ParallelCompressor&) = delete;
  ParallelCompressor& operator=(const ParallelCompressor&) = delete;

  bool Handles(size_t i) const {
    const uint64_t size = files_[i].entry->size;
    return size != 0 && size <= options_.streamThreshold;
  }

  // Waits for file i; rethrows the error its worker met.
  Slot Take(size_t i) {
    std::unique_lock lock(mutex_);
    slotReady_.wait(lock, [&] { return slots_[i].ready; });
    Slot slot = std::move(slots_[i]);
    inFlight_ -= Cost(i);
    lock.unlock();
    workReady_.notify_all();
    if (slot.error) std::rethrow_exception(slot.error);
    return slot;
  }

  // The writer is done with every file up to and including i.
  void Passed(size_t i) {
    {
      std::lock_guard lock(mutex_);
      passed_ = i + 1;
    }
    workReady_.notify_all();
  }

 private:
  uint64_t Cost(size_t i) const { return 2 * files_[i].entry->size; }

  bool CanStart(size_t i) const {
    return i < passed_ + maxAhead_ &&
           (inFlight_ == 0 || inFlight_ + Cost(i) <= options_.memoryBudget);
  }

  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    workReady_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
  }

  void Work() {
    std::unique_ptr<Deflater> deflater;
    for (;;) {
      size_t i;
      {
        std::unique_lock lock(mutex_);
        for (;;) {
          while (next_ < files_.size() && !Handles(next_)) ++next_;
          if (stop_ || next_ >= files_.size()) return;
          if (CanStart(next_)) break;
          workReady_.wait(lock);
        }
        i = next_++;
        inFlight_ += Cost(i);
      }
      Slot slot;
      try {
        if (!options_.store && !deflater) deflater = std::make_unique<Deflater>(options_.level);
        Fill(i, deflater.get(), slot);
      } catch (...) {
        slot.error = std::current_exception();
      }
      {
        std::lock_guard lock(mutex_);
        slot.ready = true;
        slots_[i] = std::move(slot);
      }
      slotReady_.notify_all();
    }
  }

  // True when a file before i has the same contents.
  bool ClaimContents(size_t i, const ContentKey& key) {
    std::lock_guard lock(mutex_);
    const auto [it, inserted] = firstWithContents_.emplace(key, i);
    if (inserted) return false;
    if (it->second < i) return true;
    it->second = i;
    return false;
  }

  void Fill(size_t i, Deflater* deflater, Slot& slot) {
    const FileRef& file = files_[i];
    const size_t size = static_cast<size_t>(file.entry->size);
    auto input = std::make_unique_for_overwrite<uint8_t[]>(size);
    std::unique_ptr<ContentReader> reader = source_.Open(file.path);
    ReadExactly(*reader, input.get(), size, file.path);
    if (options_.shareIdenticalFiles) {
      slot.key = KeyOf(input.get(), size);
      if (ClaimContents(i, slot.key)) {
        slot.repeated = true;
        return;
      }
    }
    if (deflater != nullptr && size >= 2) {
      auto output = std::make_unique_for_overwrite<uint8_t[]>(size - 1);
      const size_t n = deflater->CompressSmaller(input.get(), size, output.get());
      if (n != 0) {
        slot.data = std::move(output);
        slot.length = n;
        slot.compressed = true;
        return;
      }
    }
    slot.data = std::move(input);
    slot.length = size;
  }

  const std::vector<FileRef>& files_;
  ContentSource& source_;
  const WriterOptions& options_;
  std::vector<Slot> slots_;
  size_t maxAhead_ = 4;

  std::mutex mutex_;
  std::condition_variable workReady_;
  std::condition_variable slotReady_;
  size_t next_ = 0;
  size_t passed_ = 0;
  uint64_t inFlight_ = 0;
  bool stop_ = false;
  std::unordered_map<ContentKey, size_t> firstWithContents_;
  std::vector<std::thread> workers_;
};

// ------------------------------------------------------------------ writing

void WriteOrThrow(std::FILE* file, const void* data, size_t size, const char* what) {
  if (size != 0 && std::fwrite(data, 1, size, file) != size) ThrowIo("", what);
}

// Writes to the output and hashes what it writes.
class HashingWriter {
 public:
  explicit HashingWriter(std::FILE* out) : out_(out) { Sha1Init(&sha1_); }
  void Hash(const void* data, size_t size) { Sha1UpdateLarge(&sha1_, data, size); }
  void Write(const void* data, size_t size) {
    WriteOrThrow(out_, data, size, "cannot write the output");
    Hash(data, size);
    written_ += size;
  }
  void WriteU8(uint8_t value) { Write(&value, 1); }
  void WriteU32(uint32_t value) {
    uint8_t bytes[4];
    EncodeU32(bytes, value);
    Write(bytes, 4);
  }
  void Skip(size_t size) {
    const std::string zeros(size, '\0');
    WriteOrThrow(out_, zeros.data(), size, "cannot write the output");
    written_ += size;
  }
  void Finish(uint8_t digest[SHA1_DIGEST_SIZE]) { Sha1Final(&sha1_, digest); }
  uint64_t written() const { return written_; }

 private:
  std::FILE* out_;
  Sha1Context sha1_;
  uint64_t written_ = 0;
};

// Deflates a file too large for memory through zlib into the spool. Returns
// the stored size and whether it is compressed; falls back to the plain
// bytes as soon as the stream stops being smaller than the file.
struct StreamedFile {
  uint64_t storedSize = 0;
  bool compressed = false;
};

class ZlibDeflater {
 public:
  explicit ZlibDeflater(int level) {
    std::memset(&stream_, 0, sizeof stream_);
    if (deflateInit2(&stream_, std::min(level, 9), Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
      throw PackageError("", "cannot set up the stream compressor");
    }
  }
  ~ZlibDeflater() { deflateEnd(&stream_); }
  ZlibDeflater(const ZlibDeflater&) = delete;
  ZlibDeflater& operator=(const ZlibDeflater&) = delete;
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_;
};

// Reports how many of the current file's bytes have been read.
using FileProgress = std::function<void(uint64_t)>;

void CopyPlain(ContentSource& source, const FileRef& file, std::FILE* spool,
               const FileProgress& fileProgress) {
  std::unique_ptr<ContentReader> reader = source.Open(file.path);
  std::vector<uint8_t> buffer(COPY_CHUNK);
  uint64_t done = 0;
  while (done < file.entry->size) {
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(file.entry->size - done, COPY_CHUNK));
    const size_t got = reader->Read(buffer.data(), want);
    if (got == 0)
      throw PackageError(file.path, "the file shrank while the package was being built");
    WriteOrThrow(spool, buffer.data(), got, "cannot write the scratch file");
    done += got;
    fileProgress(done);
  }
  uint8_t extra;
  if (reader->Read(&extra, 1) != 0) {
    throw PackageError(file.path, "the file grew while the package was being built");
  }
}

// Returns true when the stream came out strictly smaller than the file.
bool TryStreamDeflate(ContentSource& source, const FileRef& file, int level, std::FILE* spool,
                      const FileProgress& fileProgress, uint64_t& storedSize) {
  ZlibDeflater deflater(level);
  z_stream& z = deflater.stream();
  std::unique_ptr<ContentReader> reader = source.Open(file.path);
  std::vector<uint8_t> in(COPY_CHUNK);
  std::vector<uint8_t> out(COPY_CHUNK);
  const uint64_t size = file.entry->size;
  uint64_t read = 0;
  storedSize = 0;
  bool finished = false;
  while (!finished) {
    const size_t got = reader->Read(in.data(), in.size());
    read += got;
    if (read > size)
      throw PackageError(file.path, "the file grew while the package was being built");
    fileProgress(read);
    const int flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(got);
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      const int status = deflate(&z, flush);
      if (status == Z_STREAM_ERROR) throw PackageError(file.path, "the stream compressor failed");
      finished = status == Z_STREAM_END;
      const size_t produced = out.size() - z.avail_out;
      storedSize += produced;
      if (storedSize >= size) return false;
      WriteOrThrow(spool, out.data(), produced, "cannot write the scratch file");
    } while (z.avail_out == 0 || (flush == Z_FINISH && !finished));
  }
  if (read != size)
    throw PackageError(file.path, "the file shrank while the package was being built");
  return true;
}

StreamedFile StreamFile(ContentSource& source, const FileRef& file, const WriterOptions& options,
                        std::FILE* spool, const FileProgress& fileProgress) {
  std::fpos_t start;
  if (std::fgetpos(spool, &start) != 0) ThrowIo("", "cannot use the scratch file");
  StreamedFile result;
  if (!options.store &&
      TryStreamDeflate(source, file, options.level, spool, fileProgress, result.storedSize)) {
    result.compressed = true;
    return result;
  }
  if (std::fsetpos(spool, &start) != 0) ThrowIo("", "cannot use the scratch file");
  CopyPlain(source, file, spool, fileProgress);
  result.storedSize = file.entry->size;
  return result;
}

void CheckU32(uint64_t value, const std::string& path, const char* what) {
  if (value > MAX_U32) {
    throw PackageError(path, std::string(what) + " would pass 4 GiB, the format's limit");
  }
}

// The data area as it grows in the spool: where each file went, and which
// contents are already there.
class DataArea {
 public:
  explicit DataArea(std::FILE* spool) : spool_(spool) {}

  StoredFile Place(const Slot& slot, const std::string& path) {
    if (!slot.key.empty()) {
      if (const auto it = byContents_.find(slot.key); it != byContents_.end()) return it->second;
      if (slot.repeated) throw PackageError(path, "lost track of a file with the same contents");
    }
    CheckU32(length_ + slot.length, path, "the data area");
    WriteOrThrow(spool_, slot.data.get(), slot.length, "cannot write the scratch file");
    const StoredFile placed = Record(slot.length, slot.compressed, path);
    if (!slot.key.empty()) byContents_.emplace(slot.key, placed);
    return placed;
  }

  // A streamed file is already in the spool.
  StoredFile Place(const StreamedFile& file, const std::string& path) {
    return Record(file.storedSize, file.compressed, path);
  }

  uint64_t length() const { return length_; }

 private:
  StoredFile Record(uint64_t size, bool compressed, const std::string& path) {
    CheckU32(length_ + size, path, "the data area");
    const StoredFile placed{compressed ? ENTRY_COMPRESSED : 0u, static_cast<uint32_t>(size),
                            static_cast<uint32_t>(length_)};
    length_ += size;
    return placed;
  }

  std::FILE* spool_;
  uint64_t length_ = 0;
  std::unordered_map<ContentKey, StoredFile> byContents_;
};

void CopySpool(std::FILE* spool, uint64_t length, HashingWriter& writer) {
  if (std::fflush(spool) != 0 || std::fseek(spool, 0, SEEK_SET) != 0) {
    ThrowIo("", "cannot use the scratch file");
  }
  std::vector<uint8_t> buffer(COPY_CHUNK);
  uint64_t done = 0;
  while (done < length) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(length - done, COPY_CHUNK));
    if (std::fread(buffer.data(), 1, want, spool) != want) {
      ThrowIo("", "cannot read the scratch file back");
    }
    writer.Write(buffer.data(), want);
    done += want;
  }
}

// The files as one solid stream: entries carry their place in it.
SolidArea WriteSolidFiles(const std::vector<FileRef>& files, ContentSource& source,
                          std::FILE* spool, const WriterOptions& options,
                          std::vector<StoredFile>& stored, WriterProgress& state,
                          const ProgressCallback& progress) {
  std::vector<SolidInput> inputs;
  inputs.reserve(files.size());
  uint64_t offset = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    inputs.push_back({&files[i].path, files[i].entry->size});
    CheckU32(offset + files[i].entry->size, files[i].path, "the files together");
    stored[i] = {0, static_cast<uint32_t>(files[i].entry->size), static_cast<uint32_t>(offset)};
    offset += files[i].entry->size;
  }
  return WriteSolidArea(inputs, source, spool, options, [&](size_t filesDone, uint64_t bytesDone) {
    state.filesDone = filesDone;
    state.bytesDone = bytesDone;
    if (progress) progress(state);
  });
}

}  // namespace

void SortTree(TreeEntry& root) {
  std::sort(root.children.begin(), root.children.end(),
            [](const TreeEntry& a, const TreeEntry& b) { return a.name < b.name; });
  for (TreeEntry& child : root.children) {
    if (child.isDirectory) SortTree(child);
  }
}

void ValidateTree(const TreeEntry& root) { ValidateDirectory(root, "", 0); }

void ValidateScript(std::string_view script) {
  const auto lineOf = [&script](size_t at) {
    return std::to_string(
        1 + std::count(script.begin(), script.begin() + static_cast<ptrdiff_t>(at), '\n'));
  };
  const size_t bad = FindInvalidUtf8(script.data(), script.size());
  if (bad < script.size()) {
    throw PackageError("", "the script is not valid UTF-8 (line " + lineOf(bad) + ", byte offset " +
                               std::to_string(bad) + ")");
  }
  // The same errors as the linter's: the setup cuts a line at a NUL and
  // keeps one UTF-16 unit per character.
  if (const size_t nul = script.find('\0'); nul != std::string_view::npos) {
    throw PackageError("", "line " + lineOf(nul) +
                               ": a NUL byte, at which the setup would cut the line; "
                               "mksetup check lists every such error");
  }
  const auto wide = std::find_if(script.begin(), script.end(),
                                 [](char c) { return static_cast<uint8_t>(c) >= 0xF0; });
  if (wide != script.end()) {
    throw PackageError("", "line " + lineOf(static_cast<size_t>(wide - script.begin())) +
                               ": a character outside the Basic Multilingual Plane, which the "
                               "setup cannot keep; mksetup check lists every such error");
  }
  // Stored, the script can only be smaller, but never larger than this.
  if (script.size() > MAX_U32 - SCRIPT_OFFSET) {
    throw PackageError("", "the script is larger than the format allows");
  }
}

std::string EncodeIndex(const TreeEntry& root, const std::vector<StoredFile>& stored) {
  std::string index;
  size_t nextFile = 0;
  EncodeDirectory(root, stored, nextFile, index);
  AppendEndEntry(index, ENTRY_END);
  return index;
}

bool EntryTimeFromUnix(int64_t seconds, uint32_t nanoseconds, EntryTime* time) {
  // Bounds first, so the civil conversion below cannot overflow: 1601-01-01
  // and 30828-01-01, both 00:00:00 UTC.
  constexpr int64_t kFirst = -11644473600;
  constexpr int64_t kPastLast = 910670515200;
  if (seconds < kFirst || seconds >= kPastLast || nanoseconds >= 1000000000u) return false;
  int64_t days = seconds / 86400;
  int64_t secondOfDay = seconds % 86400;
  if (secondOfDay < 0) {
    secondOfDay += 86400;
    --days;
  }
  // Days since 1970-01-01 to a proleptic Gregorian date, in 400-year eras
  // starting on March 1st.
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  time->year = static_cast<uint16_t>(year);
  time->month = static_cast<uint8_t>(month);
  time->day = static_cast<uint8_t>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  time->hour = static_cast<uint8_t>(secondOfDay / 3600);
  time->minute = static_cast<uint8_t>(secondOfDay / 60 % 60);
  time->second = static_cast<uint8_t>(secondOfDay % 60);
  time->hundredths = static_cast<uint8_t>(nanoseconds / 10000000u);
  return true;
}

WriterResult WritePackage(std::string_view stub, std::string_view script, const TreeEntry& root,
                          ContentSource& source, std::FILE* spool, std::FILE* out,
                          const WriterOptions& options, const ProgressCallback& progress) {
  if (stub.size() != STUB_SIZE) {
    throw PackageError("", "the stub is " + std::to_string(stub.size()) + " bytes; it must be " +
                               std::to_string(STUB_SIZE));
  }
  const bool solid = options.method == TREE_METHOD_SOLID_LZMA2;
  if (solid ? options.level < 0 || options.level > MAX_LZMA_PRESET
            : options.level < MIN_COMPRESSION_LEVEL || options.level > MAX_COMPRESSION_LEVEL) {
    throw PackageError(
        "", solid ? "the LZMA preset must be 0 to 9" : "the compression level must be 1 to 12");
  }
  ValidateScript(script);

  std::vector<FileRef> files;
  CollectFiles(root, "", files);
  WriterProgress state;
  state.filesTotal = files.size();
  for (const FileRef& file : files) state.bytesTotal += file.entry->size;

  std::vector<StoredFile> stored(files.size());
  uint64_t storedTotal = 0;
  DataArea area(spool);
  SolidArea solidArea;
  if (solid) {
    solidArea = WriteSolidFiles(files, source, spool, options, stored, state, progress);
  } else {
    ParallelCompressor compressor(files, source, options);
    for (size_t i = 0; i < files.size(); ++i) {
      const FileRef& file = files[i];
      const uint64_t bytesBefore = state.bytesDone;
      if (compressor.Handles(i)) {
        stored[i] = area.Place(compressor.Take(i), file.path);
      } else if (file.entry->size != 0) {
        const FileProgress fileProgress = [&](uint64_t done) {
          state.bytesDone = bytesBefore + done;
          if (progress) progress(state);
        };
        stored[i] = area.Place(StreamFile(source, file, options, spool, fileProgress), file.path);
      }
      // Readers add up every entry's stored size, shared copies included,
      // and divide by the total + 1: that must not wrap in 32 bits.
      storedTotal += stored[i].storedSize;
      if (storedTotal > MAX_STORED_TOTAL) {
        throw PackageError(file.path,
                           "the stored sizes of all files together would pass 4 GiB - 2 bytes, "
                           "the format's limit; split the tree into several setups");
      }
      ++state.filesDone;
      state.bytesDone = bytesBefore + file.entry->size;
      compressor.Passed(i);
      if (progress) progress(state);
    }
  }
  const uint64_t dataLength =
      solid ? solidArea.head.size() + solidArea.blocksLength : area.length();
  CheckU32(dataLength, "", "the data area");

  const std::string index = EncodeIndex(root, stored);
  CheckU32(index.size(), "", "the index");
  const StoredBlock storedScript = StoreSmallest(script, options);
  const StoredBlock storedIndex = StoreSmallest(index, options);

  // Ready to be signed: the fields signing rewrites start at zero, which is
  // how a signed setup's digest counts them.
  std::string cleared(stub);
  PeSignatureFields fields;
  if (FindPeSignatureFields(reinterpret_cast<const uint8_t*>(cleared.data()), cleared.size(),
                            &fields)) {
    ClearPeSignatureFields(reinterpret_cast<uint8_t*>(cleared.data()), fields);
  }

  HashingWriter writer(out);
  writer.Hash(PACKAGE_SALT, PACKAGE_SALT_SIZE);
  writer.Write(cleared.data(), cleared.size());
  writer.Skip(PACKAGE_DIGEST_SIZE);
  writer.WriteU8(storedScript.compressed ? 1 : 0);
  writer.WriteU32(static_cast<uint32_t>(storedScript.bytes.size()));
  writer.Write(storedScript.bytes.data(), storedScript.bytes.size());
  CheckU32(writer.written(), "", "the tree offset");
  writer.WriteU8(EncodeTreeFlag(storedIndex.compressed, options.method));
  writer.WriteU32(static_cast<uint32_t>(storedIndex.bytes.size()));
  writer.Write(storedIndex.bytes.data(), storedIndex.bytes.size());
  writer.WriteU32(static_cast<uint32_t>(dataLength));
  writer.Write(solidArea.head.data(), solidArea.head.size());
  CopySpool(spool, dataLength - solidArea.head.size(), writer);
  const std::string padding(
      (PACKAGE_ALIGNMENT - writer.written() % PACKAGE_ALIGNMENT) % PACKAGE_ALIGNMENT, '\0');
  writer.Write(padding.data(), padding.size());

  uint8_t digest[SHA1_DIGEST_SIZE];
  writer.Finish(digest);
  if (std::fseek(out, PACKAGE_DIGEST_OFFSET, SEEK_SET) != 0) ThrowIo("", "cannot write the output");
  WriteOrThrow(out, digest, sizeof digest, "cannot write the output");
  if (std::fflush(out) != 0) ThrowIo("", "cannot write the output");

  WriterResult result;
  result.files = files.size();
  result.inputBytes = state.bytesTotal;
  result.outputBytes = writer.written();
  return result;
}
