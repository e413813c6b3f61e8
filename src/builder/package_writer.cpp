#include "builder/package_writer.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "builder/parallel_compressor.h"
#include "builder/solid_writer.h"
#include "builder/stream_deflate.h"
#include "package/pe_signature.h"
#include "package/sha1.h"

namespace {

constexpr uint64_t MAX_U32 = std::numeric_limits<uint32_t>::max();
constexpr uint64_t MAX_STORED_TOTAL = MAX_U32 - 1;
constexpr size_t COPY_CHUNK = size_t{1} << 20;

void CheckU32(uint64_t value, const std::string& path, const char* what) {
  if (value > MAX_U32) {
    throw PackageError(path, std::string(what) + " would pass 4 GiB, the format's limit");
  }
}

void CollectFiles(const TreeEntry& directory, const std::string& directoryPath,
                  std::vector<TreeFile>& files) {
  for (const TreeEntry& child : directory.children) {
    std::string path = directoryPath.empty() ? child.name : directoryPath + "/" + child.name;
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
  // A section head and the stored bytes behind it.
  void WriteSection(const StoredBytes& bytes, uint8_t flag) {
    uint8_t head[SECTION_HEAD_SIZE];
    EncodeSectionHead(head, {flag, static_cast<uint32_t>(bytes.length)});
    Write(head, sizeof head);
    Write(bytes.data.get(), bytes.length);
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

// The data area as it grows in the spool: where each file went, and which
// contents are already there.
class DataArea {
 public:
  explicit DataArea(std::FILE* spool) : spool_(spool) {}

  StoredFile Place(const CompressedFile& file, const std::string& path) {
    if (!file.key.empty()) {
      if (const auto it = byContents_.find(file.key); it != byContents_.end()) return it->second;
      if (file.repeated) throw PackageError(path, "lost track of a file with the same contents");
    }
    const StoredFile placed = Record(file.stored.length, file.stored.compressed, path);
    WriteOrThrow(spool_, file.stored.data.get(), file.stored.length,
                 "cannot write the scratch file");
    if (!file.key.empty()) byContents_.emplace(file.key, placed);
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

// Each file deflated on its own into the spool, in index order.
DataArea WritePerFile(const std::vector<TreeFile>& files, ContentSource& source, std::FILE* spool,
                      const WriterOptions& options, std::vector<StoredFile>& stored,
                      WriterProgress& state, const ProgressCallback& progress) {
  DataArea area(spool);
  ParallelCompressor compressor(files, source, options);
  uint64_t storedTotal = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    const TreeFile& file = files[i];
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
  return area;
}

// The files as one solid stream: entries carry their place in it.
SolidArea WriteSolidFiles(const std::vector<TreeFile>& files, ContentSource& source,
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

// The script or the index as it goes into the package.
StoredBytes StoreBlock(std::string_view bytes, const WriterOptions& options) {
  auto data = std::make_unique_for_overwrite<uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), data.get());
  std::unique_ptr<Deflater> deflater;
  if (!options.store) deflater = std::make_unique<Deflater>(options.level);
  return StoreSmaller(deflater.get(), std::move(data), bytes.size(), true);
}

void CheckStub(std::string_view stub) {
  if (stub.size() != STUB_SIZE) {
    throw PackageError("", "the stub is " + std::to_string(stub.size()) + " bytes; it must be " +
                               std::to_string(STUB_SIZE));
  }
}

// What goes in front of the data area: the script and the index as stored,
// and the tree flag.
struct PackageHead {
  StoredBytes script;
  StoredBytes index;
  uint8_t treeFlag = 0;
};

PackageHead StoreHead(std::string_view script, const std::string& index, TreeMethod method,
                      const WriterOptions& options, bool plainIndex = false) {
  CheckU32(index.size(), "", "the index");
  PackageHead head;
  head.script = StoreBlock(script, options);
  WriterOptions indexOptions = options;
  indexOptions.store = options.store || plainIndex;
  head.index = StoreBlock(index, indexOptions);
  head.treeFlag = EncodeTreeFlag(head.index.compressed, method);
  return head;
}

uint64_t PaddedSize(uint64_t size) {
  return size + (PACKAGE_ALIGNMENT - size % PACKAGE_ALIGNMENT) % PACKAGE_ALIGNMENT;
}

// Writes the whole package: the stub, the head, the data area (`dataHead`,
// then the rest of `dataLength` from the spool), the padding and the digest.
// Returns the bytes written.
uint64_t WriteAssembled(std::string_view stub, const PackageHead& head, std::string_view dataHead,
                        std::FILE* spool, uint64_t dataLength, std::FILE* out) {
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
  writer.WriteSection(head.script, head.script.compressed ? 1 : 0);
  CheckU32(writer.written(), "", "the tree offset");
  writer.WriteSection(head.index, head.treeFlag);
  uint8_t dataLengthBytes[TREE_DATA_LENGTH_SIZE];
  EncodeU32(dataLengthBytes, static_cast<uint32_t>(dataLength));
  writer.Write(dataLengthBytes, sizeof dataLengthBytes);
  writer.Write(dataHead.data(), dataHead.size());
  if (dataLength > dataHead.size()) CopySpool(spool, dataLength - dataHead.size(), writer);
  const std::string padding(PaddedSize(writer.written()) - writer.written(), '\0');
  writer.Write(padding.data(), padding.size());

  uint8_t digest[SHA1_DIGEST_SIZE];
  writer.Finish(digest);
  if (std::fseek(out, PACKAGE_DIGEST_OFFSET, SEEK_SET) != 0) ThrowIo("", "cannot write the output");
  WriteOrThrow(out, digest, sizeof digest, "cannot write the output");
  if (std::fflush(out) != 0) ThrowIo("", "cannot write the output");
  return writer.written();
}

// A record's files: each with its scanned size, offset 0 and flags 0.
std::vector<StoredFile> RecordedFiles(const TreeEntry& root) {
  std::vector<TreeFile> files;
  CollectFiles(root, "", files);
  std::vector<StoredFile> recorded;
  recorded.reserve(files.size());
  for (const TreeFile& file : files) {
    CheckU32(file.entry->size, file.path, "the file");
    recorded.push_back({0, static_cast<uint32_t>(file.entry->size), 0});
  }
  return recorded;
}

PackageHead RecordHead(std::string_view script, const TreeEntry& root, const WriterOptions& options,
                       bool plainIndex) {
  return StoreHead(script, EncodeIndex(root, RecordedFiles(root)), TREE_METHOD_RECORD, options,
                   plainIndex);
}

}  // namespace

std::string EncodeIndex(const TreeEntry& root, const std::vector<StoredFile>& stored) {
  std::string index;
  size_t nextFile = 0;
  EncodeDirectory(root, stored, nextFile, index);
  AppendEndEntry(index, ENTRY_END);
  return index;
}

WriterResult WritePackage(std::string_view stub, std::string_view script, const TreeEntry& root,
                          ContentSource& source, std::FILE* spool, std::FILE* out,
                          const WriterOptions& options, const ProgressCallback& progress) {
  CheckStub(stub);
  const bool solid = options.method == TREE_METHOD_SOLID_LZMA2;
  if (solid ? options.level < 0 || options.level > MAX_LZMA_PRESET
            : options.level < MIN_COMPRESSION_LEVEL || options.level > MAX_COMPRESSION_LEVEL) {
    throw PackageError(
        "", solid ? "the LZMA preset must be 0 to 9" : "the compression level must be 1 to 12");
  }

  std::vector<TreeFile> files;
  CollectFiles(root, "", files);
  WriterProgress state;
  state.filesTotal = files.size();
  for (const TreeFile& file : files) state.bytesTotal += file.entry->size;

  std::vector<StoredFile> stored(files.size());
  SolidArea solidArea;
  uint64_t dataLength;
  if (solid) {
    solidArea = WriteSolidFiles(files, source, spool, options, stored, state, progress);
    dataLength = solidArea.head.size() + solidArea.blocksLength;
    CheckU32(dataLength, "", "the data area");
  } else {
    dataLength = WritePerFile(files, source, spool, options, stored, state, progress).length();
  }

  const PackageHead head = StoreHead(script, EncodeIndex(root, stored), options.method, options);
  WriterResult result;
  result.files = files.size();
  result.inputBytes = state.bytesTotal;
  result.outputBytes = WriteAssembled(stub, head, solidArea.head, spool, dataLength, out);
  return result;
}

uint64_t RecordPackageSize(std::string_view script, const TreeEntry& root,
                           const WriterOptions& options, bool plainIndex) {
  const PackageHead head = RecordHead(script, root, options, plainIndex);
  return PaddedSize(uint64_t{SCRIPT_OFFSET} + head.script.length + SECTION_HEAD_SIZE +
                    head.index.length + TREE_DATA_LENGTH_SIZE);
}

uint64_t WriteRecordPackage(std::string_view stub, std::string_view script, const TreeEntry& root,
                            std::FILE* out, const WriterOptions& options, bool plainIndex) {
  CheckStub(stub);
  return WriteAssembled(stub, RecordHead(script, root, options, plainIndex), {}, nullptr, 0, out);
}
