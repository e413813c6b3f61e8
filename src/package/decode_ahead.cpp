#include "package/decode_ahead.h"

#include <cstdlib>
#include <cstring>

#include "package/solid_stream.h"

namespace {

enum JobState : uint8_t {
  kWaiting,  // no worker has it
  kRunning,
  kDone,
  kPassed,  // the owner went past it while it ran: its worker frees it
  kFreed,
};

// A job the owner decodes itself: too large to hold, or memory ran out.
constexpr int kNotDecoded = -1;
// How long the owner waits before it lets its window handle messages that
// arrived (the wait ends at once for most of them).
constexpr uint32_t kOwnerWaitMs = 100;
// Jobs decoded ahead of the owner at most, whatever their size.
constexpr size_t kMaxJobsAhead = 256;
// The reads a worker makes under the lock, so that the owner never waits
// long for one.
constexpr size_t kReadPiece = 1u << 20;

// A deflated file's bytes gathered in memory, up to kAheadFileBytes.
class MemorySink final : public OutputFile {
 public:
  explicit MemorySink(uint32_t storedSize) {
    const uint64_t guess = uint64_t{storedSize} * 4 + 4096;
    capacity_ = guess < kAheadFileBytes ? static_cast<size_t>(guess) : kAheadFileBytes;
    bytes = static_cast<uint8_t*>(malloc(capacity_));
  }
  ~MemorySink() override { free(bytes); }
  bool Write(const void* data, size_t size) override {
    if (bytes == nullptr || size > kAheadFileBytes - length) return false;
    if (size > capacity_ - length) {
      size_t grown = capacity_ * 2 < kAheadFileBytes ? capacity_ * 2 : kAheadFileBytes;
      if (grown < length + size) grown = length + size;
      auto* moved = static_cast<uint8_t*>(realloc(bytes, grown));
      if (moved == nullptr) return false;
      bytes = moved;
      capacity_ = grown;
    }
    memcpy(bytes + length, data, size);
    length += size;
    return true;
  }
  bool Close() override { return true; }

  uint8_t* bytes;
  size_t length = 0;

 private:
  size_t capacity_;
};

}  // namespace

unsigned DecodeWorkerCount(unsigned cores, uint64_t available, uint64_t perWorker) {
  uint64_t count = cores < kMaxDecodeWorkers ? cores : kMaxDecodeWorkers;
  if (perWorker != 0 && available / 2 / perWorker < count) count = available / 2 / perWorker;
  return count == 0 ? 1 : static_cast<unsigned>(count);
}

int64_t DecodeAhead::SharedInput::Size() {
  owner_.threads_->Lock();
  const int64_t size = owner_.file_.Size();
  owner_.threads_->Unlock();
  return size;
}

size_t DecodeAhead::SharedInput::Read(void* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    const size_t piece = size - done < kReadPiece ? size - done : kReadPiece;
    owner_.threads_->Lock();
    const size_t got = owner_.file_.Seek(position_ + done)
                           ? owner_.file_.Read(static_cast<uint8_t*>(buffer) + done, piece)
                           : 0;
    owner_.threads_->Unlock();
    done += got;
    if (got != piece) break;
  }
  position_ += done;
  return done;
}

DecodeAhead::DecodeAhead(InputFile& file, const PackageTree& tree, ExtractProgress* waiting)
    : file_(file), tree_(tree), waiting_(waiting) {}

DecodeAhead::~DecodeAhead() {
  if (threads_) {
    threads_->Lock();
    stop_ = true;
    threads_->WakeWorkers();
    threads_->Unlock();
    threads_->Join();
  }
  for (AheadJob& job : jobs_) free(job.bytes);
}

bool DecodeAhead::Start(unsigned workers, uint64_t budget, uint8_t solidProperty) {
  budget_ = budget;
  solidProperty_ = solidProperty;
  if (jobs_.empty()) return false;
  threads_ = MakeWorkerThreads();
  if (!threads_) return false;
  if (threads_->Start(workers, RunWorker, this) != 0) return true;
  threads_.reset();
  return false;
}

void DecodeAhead::RunWorker(void* self) { static_cast<DecodeAhead*>(self)->Work(); }

bool DecodeAhead::MayStart(size_t job) const {
  // The job the owner waits for always runs, so that it never waits for
  // memory that only its own progress frees.
  return job == head_ || (job < head_ + kMaxJobsAhead && held_ + jobs_[job].decodedSize <= budget_);
}

void DecodeAhead::Work() {
  SharedInput input(*this);
  CopyBuffers buffers;
  threads_->Lock();
  while (!stop_) {
    if (next_ < head_) next_ = head_;
    if (next_ >= jobs_.size()) break;
    if (!MayStart(next_)) {
      ++idleWorkers_;
      threads_->WaitForWork();
      --idleWorkers_;
      continue;
    }
    AheadJob& job = jobs_[next_++];
    job.state = kRunning;
    held_ += job.decodedSize;
    threads_->Unlock();
    Decode(job, input, buffers);
    threads_->Lock();
    held_ -= job.decodedSize;
    if (job.state == kPassed) {
      free(job.bytes);
      job.bytes = nullptr;
      job.state = kFreed;
      WakeIdleWorkers();
    } else {
      held_ += job.length;
      job.state = kDone;
      if (ownerWaits_) threads_->WakeOwner();
    }
  }
  threads_->Unlock();
}

void DecodeAhead::Decode(AheadJob& job, SharedInput& input, CopyBuffers& buffers) {
  job.result = kNotDecoded;
  if (tree_.method == TREE_METHOD_SOLID_LZMA2) {
    job.bytes = static_cast<uint8_t*>(malloc(job.decodedSize == 0 ? 1 : job.decodedSize));
    if (job.bytes == nullptr) return;
    job.result = DecodeWholeBlock(input, job.from, job.block, solidProperty_, job.bytes,
                                  job.decodedSize, &job.length);
    return;
  }
  if (buffers.input == nullptr) return;
  MemorySink sink(job.entry.storedSize);
  const CopyResult result = CopyEntryData(input, tree_, job.entry, sink, buffers);
  // Too large to hold (or no memory for it): the owner streams it.
  if (result == COPY_WRITE_FAILED) return;
  job.result = result;
  job.bytes = sink.bytes;
  job.length = sink.length;
  sink.bytes = nullptr;
}

void DecodeAhead::Free(AheadJob& job) {
  if (job.state == kRunning) {
    job.state = kPassed;
    return;
  }
  if (job.state == kDone) held_ -= job.length;
  free(job.bytes);
  job.bytes = nullptr;
  job.state = kFreed;
}

const AheadJob* DecodeAhead::Take(uint64_t key) {
  if (!threads_) return nullptr;
  threads_->Lock();
  if (taken_ != SIZE_MAX) Free(jobs_[taken_]);
  taken_ = SIZE_MAX;
  while (head_ < jobs_.size() && jobs_[head_].key < key) Free(jobs_[head_++]);
  AheadJob* found = nullptr;
  if (head_ < jobs_.size() && jobs_[head_].key == key) {
    found = &jobs_[head_];
    WakeIdleWorkers();
    while (found->state != kDone) {
      ownerWaits_ = true;
      threads_->WaitAsOwner(kOwnerWaitMs);
      ownerWaits_ = false;
      if (waiting_ != nullptr) {
        threads_->Unlock();
        waiting_->OnWaiting();
        threads_->Lock();
      }
    }
    taken_ = head_++;
  }
  WakeIdleWorkers();
  threads_->Unlock();
  return found;
}
