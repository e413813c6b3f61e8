// Worker threads of the standard library: the builder and the tests, never
// the stub.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/worker_threads.h"

namespace {

class PosixWorkerThreads final : public WorkerThreads {
 public:
  ~PosixWorkerThreads() override { Join(); }

  unsigned Start(unsigned count, void (*run)(void*), void* context) override {
    for (unsigned i = 0; i < count; ++i) threads_.emplace_back(run, context);
    return count;
  }
  void Lock() override { lock_.lock(); }
  void Unlock() override { lock_.unlock(); }
  void WaitForWork() override {
    std::unique_lock<std::mutex> held(lock_, std::adopt_lock);
    work_.wait(held);
    held.release();
  }
  void WakeWorkers() override { work_.notify_all(); }
  void WaitAsOwner(uint32_t ms) override {
    std::unique_lock<std::mutex> held(lock_, std::adopt_lock);
    owner_.wait_for(held, std::chrono::milliseconds(ms), [this] { return ownerWoken_; });
    ownerWoken_ = false;
    held.release();
  }
  void WakeOwner() override {
    ownerWoken_ = true;
    owner_.notify_all();
  }
  void Join() override {
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
  }

 private:
  std::mutex lock_;
  std::condition_variable work_;
  std::condition_variable owner_;
  bool ownerWoken_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace

std::unique_ptr<WorkerThreads> MakeWorkerThreads() {
  return std::unique_ptr<WorkerThreads>(new (std::nothrow) PosixWorkerThreads());
}

unsigned ProcessorCount() {
  const unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : count;
}

uint64_t AvailablePhysicalMemory() {
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long size = sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? uint64_t(pages) * uint64_t(size) : 0;
}
