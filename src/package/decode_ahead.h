// Decoding ahead of the writer on worker threads: deflated files and solid
// LZMA2 blocks are independent, so while the calling thread (the owner)
// writes one, workers decode the next ones into memory. The owner still
// writes every byte, in index order, and reads each outcome exactly as a
// decode on its own thread would have given it; a job it does not find
// (never planned, passed over, or too large) it decodes itself.
//
// Memory: the decoded bytes held (done, running or taken) stay within the
// budget, except that the job the owner waits for always runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "package/entry_copy.h"
#include "package/extract_progress.h"
#include "package/package_reader.h"
#include "platform/input_file.h"
#include "platform/worker_threads.h"

inline constexpr unsigned kMaxDecodeWorkers = 8;
// A deflated file is decoded ahead only up to this size; a larger one is
// the owner's, streamed as before.
inline constexpr uint32_t kAheadFileBytes = 2u << 20;
// What deflated files decoded ahead may hold at once: a deflate install's
// peak memory stays within half as much again as on one thread.
inline constexpr uint64_t kAheadFilesBudget = 4u << 20;
// A smaller deflated file costs the writer less to decode than to hand over.
inline constexpr uint32_t kAheadFileMinStored = 16u << 10;

// Whether a deflated file of a per-file tree is decoded ahead.
inline bool IsDecodedAhead(const IndexEntry& entry) {
  return (entry.flags & ENTRY_COMPRESSED) != 0 && entry.storedSize >= kAheadFileMinStored &&
         entry.storedSize <= kAheadFileBytes;
}

// Workers for a machine with `cores` processors and `available` bytes of
// memory, each worker needing `perWorker`: one per core, but no more than
// half the memory holds (the writer and other programs need the rest), at
// most kMaxDecodeWorkers, and always one.
unsigned DecodeWorkerCount(unsigned cores, uint64_t available, uint64_t perWorker);

// One unit of decoding, in the order the owner takes them (ascending keys).
struct AheadJob {
  uint64_t key = 0;          // a file entry's index position, or a solid block's number
  IndexEntry entry;          // a deflated file
  uint64_t from = 0;         // a solid block: where its stored bytes start
  SolidBlock block{};        // a solid block: its record
  uint32_t decodedSize = 0;  // a solid block's length in the stream
  // Set by the workers.
  uint8_t state = 0;
  int result = 0;  // a CopyResult (SolidResult) value
  uint8_t* bytes = nullptr;
  size_t length = 0;  // bytes decoded, also those before a failure
};

class DecodeAhead {
 public:
  // `tree` (deflated files) or the solid area's dictionary `solidProperty`
  // tell how the jobs decode. `waiting` is told while the owner waits.
  DecodeAhead(InputFile& file, const PackageTree& tree, ExtractProgress* waiting);
  ~DecodeAhead();  // stops the workers and frees every result
  DecodeAhead(const DecodeAhead&) = delete;
  DecodeAhead& operator=(const DecodeAhead&) = delete;

  // Before Start, in ascending key order.
  void Plan(const AheadJob& job) { jobs_.push_back(job); }
  size_t Planned() const { return jobs_.size(); }
  // Starts up to `workers` threads with room for `budget` decoded bytes.
  // False when none started: Take then finds nothing.
  bool Start(unsigned workers, uint64_t budget, uint8_t solidProperty = 0);
  // The file as the owner reads it while workers run.
  InputFile& OwnerInput() { return ownerInput_; }
  // The job of `key`, decoded, waiting for it as needed; null when there is
  // none. Frees the job taken before and passes over those with smaller
  // keys. Valid until the next Take.
  const AheadJob* Take(uint64_t key);

 private:
  // Reads of the shared file, each a seek and a read under the lock, at a
  // position of the reader's own.
  class SharedInput final : public InputFile {
   public:
    explicit SharedInput(DecodeAhead& owner) : owner_(owner) {}
    int64_t Size() override;
    bool Seek(uint64_t offset) override {
      position_ = offset;
      return true;
    }
    size_t Read(void* buffer, size_t size) override;

   private:
    DecodeAhead& owner_;
    uint64_t position_ = 0;
  };

  static void RunWorker(void* self);
  void Work();
  bool MayStart(size_t job) const;
  void Decode(AheadJob& job, SharedInput& input, CopyBuffers& buffers);
  void Free(AheadJob& job);
  void WakeIdleWorkers() {
    if (idleWorkers_ != 0) threads_->WakeWorkers();
  }

  InputFile& file_;
  const PackageTree& tree_;
  ExtractProgress* waiting_;
  SharedInput ownerInput_{*this};
  std::unique_ptr<WorkerThreads> threads_;
  std::vector<AheadJob> jobs_;
  uint8_t solidProperty_ = 0;
  uint64_t budget_ = 0;
  uint64_t held_ = 0;  // bytes reserved by running jobs, held by done ones
  size_t next_ = 0;    // the first job no worker has claimed
  size_t head_ = 0;    // the first job the owner has not passed
  size_t taken_ = SIZE_MAX;
  // Each wake costs a call into the system (under Wine, to its server):
  // only a sleeper is woken.
  unsigned idleWorkers_ = 0;
  bool ownerWaits_ = false;
  bool stop_ = false;
};
