#include "builder/parallel_compressor.h"

#include <libdeflate.h>

#include <algorithm>

#include "package/inflate.h"
#include "package/sha1.h"

namespace {

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

}  // namespace

Deflater::Deflater(int level) : compressor_(libdeflate_alloc_compressor(level)) {
  if (compressor_ == nullptr) throw PackageError("", "cannot set up the compressor");
}

Deflater::~Deflater() { libdeflate_free_compressor(compressor_); }

size_t Deflater::Compress(const uint8_t* in, size_t size, uint8_t* out, size_t capacity) {
  return libdeflate_deflate_compress(compressor_, in, size, out, capacity);
}

StoredBytes StoreSmaller(Deflater* deflater, std::unique_ptr<uint8_t[]> data, size_t size,
                         bool inflatedWhole) {
  if (deflater != nullptr && size >= 2) {
    auto out = std::make_unique_for_overwrite<uint8_t[]>(size - 1);
    const size_t n = deflater->Compress(data.get(), size, out.get(), size - 1);
    if (n != 0 && (!inflatedWhole || size <= InflateCeiling(static_cast<uint32_t>(n)))) {
      return {std::move(out), n, true};
    }
  }
  return {std::move(data), size, false};
}

ParallelCompressor::ParallelCompressor(const std::vector<TreeFile>& files, ContentSource& source,
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

ParallelCompressor::~ParallelCompressor() { Stop(); }

bool ParallelCompressor::Handles(size_t i) const {
  const uint64_t size = files_[i].entry->size;
  return size != 0 && size <= options_.streamThreshold;
}

CompressedFile ParallelCompressor::Take(size_t i) {
  std::unique_lock lock(mutex_);
  slotReady_.wait(lock, [&] { return slots_[i].ready; });
  CompressedFile file = std::move(slots_[i]);
  inFlight_ -= Cost(i);
  lock.unlock();
  workReady_.notify_all();
  if (file.error) std::rethrow_exception(file.error);
  return file;
}

void ParallelCompressor::Passed(size_t i) {
  {
    std::lock_guard lock(mutex_);
    passed_ = i + 1;
  }
  workReady_.notify_all();
}

bool ParallelCompressor::CanStart(size_t i) const {
  return i < passed_ + maxAhead_ &&
         (inFlight_ == 0 || inFlight_ + Cost(i) <= options_.memoryBudget);
}

void ParallelCompressor::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  workReady_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
}

void ParallelCompressor::Work() {
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
    CompressedFile file;
    try {
      if (!options_.store && !deflater) deflater = std::make_unique<Deflater>(options_.level);
      Fill(i, deflater.get(), file);
    } catch (...) {
      file.error = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      file.ready = true;
      slots_[i] = std::move(file);
    }
    slotReady_.notify_all();
  }
}

bool ParallelCompressor::ClaimContents(size_t i, const ContentKey& key) {
  std::lock_guard lock(mutex_);
  const auto [it, inserted] = firstWithContents_.emplace(key, i);
  if (inserted) return false;
  if (it->second < i) return true;
  it->second = i;
  return false;
}

void ParallelCompressor::Fill(size_t i, Deflater* deflater, CompressedFile& file) {
  const TreeFile& tree = files_[i];
  const size_t size = static_cast<size_t>(tree.entry->size);
  auto input = std::make_unique_for_overwrite<uint8_t[]>(size);
  ScannedFile scanned(source_, tree.path, size);
  scanned.Read(input.get(), size);
  scanned.ExpectEnd();
  if (options_.shareIdenticalFiles) {
    file.key = KeyOf(input.get(), size);
    if (ClaimContents(i, file.key)) {
      file.repeated = true;
      return;
    }
  }
  file.stored = StoreSmaller(deflater, std::move(input), size, false);
}
