// Worker threads with the kernel's own objects: no C++ threads in the stub
// (they would bring winpthreads and exceptions along).
#include <windows.h>

#include <new>

#include "platform/worker_threads.h"

namespace {

constexpr unsigned kMaxThreads = 16;

class Win32WorkerThreads final : public WorkerThreads {
 public:
  explicit Win32WorkerThreads(HANDLE ownerEvent) : ownerEvent_(ownerEvent) {
    InitializeCriticalSection(&lock_);
    InitializeConditionVariable(&work_);
  }
  ~Win32WorkerThreads() override {
    Join();
    CloseHandle(ownerEvent_);
    DeleteCriticalSection(&lock_);
  }

  unsigned Start(unsigned count, void (*run)(void*), void* context) override {
    run_ = run;
    context_ = context;
    for (; started_ < count && started_ < kMaxThreads; ++started_) {
      threads_[started_] = CreateThread(nullptr, 0, Trampoline, this, 0, nullptr);
      if (threads_[started_] == nullptr) break;
    }
    return started_;
  }
  void Lock() override { EnterCriticalSection(&lock_); }
  void Unlock() override { LeaveCriticalSection(&lock_); }
  void WaitForWork() override { SleepConditionVariableCS(&work_, &lock_, INFINITE); }
  void WakeWorkers() override { WakeAllConditionVariable(&work_); }
  void WaitAsOwner(uint32_t ms) override {
    Unlock();
    MsgWaitForMultipleObjects(1, &ownerEvent_, FALSE, ms, QS_ALLINPUT);
    Lock();
  }
  void WakeOwner() override { SetEvent(ownerEvent_); }
  void Join() override {
    if (started_ == 0) return;
    WaitForMultipleObjects(started_, threads_, TRUE, INFINITE);
    for (unsigned i = 0; i < started_; ++i) CloseHandle(threads_[i]);
    started_ = 0;
  }

 private:
  static DWORD WINAPI Trampoline(void* self) {
    auto* threads = static_cast<Win32WorkerThreads*>(self);
    threads->run_(threads->context_);
    return 0;
  }

  CRITICAL_SECTION lock_;
  CONDITION_VARIABLE work_;
  HANDLE ownerEvent_;
  HANDLE threads_[kMaxThreads] = {};
  unsigned started_ = 0;
  void (*run_)(void*) = nullptr;
  void* context_ = nullptr;
};

}  // namespace

std::unique_ptr<WorkerThreads> MakeWorkerThreads() {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (event == nullptr) return nullptr;
  auto* threads = new (std::nothrow) Win32WorkerThreads(event);
  if (threads == nullptr) CloseHandle(event);
  return std::unique_ptr<WorkerThreads>(threads);
}

unsigned ProcessorCount() {
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  unsigned count = 0;
  for (; process != 0; process &= process - 1) ++count;
  return count;
}

uint64_t AvailablePhysicalMemory() {
  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  // A 32-bit process runs out of addresses long before a large machine's
  // memory runs out.
  return status.ullAvailPhys < status.ullAvailVirtual ? status.ullAvailPhys
                                                      : status.ullAvailVirtual;
}
