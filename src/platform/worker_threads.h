// Threads that work beside the calling one (the owner) on state that one
// lock guards, and what the machine offers them. Twin implementations live
// in platform/posix and platform/win32: the stub's twin is CreateThread, a
// critical section, a condition variable for the workers and an event for
// the owner, so that the owner's wait also ends when a window message
// arrives and the window stays alive.
#pragma once

#include <cstdint>
#include <memory>

class WorkerThreads {
 public:
  virtual ~WorkerThreads() = default;
  // Starts up to `count` threads, each running run(context) once; returns
  // how many started. Once only.
  virtual unsigned Start(unsigned count, void (*run)(void*), void* context) = 0;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
  // A worker holding the lock: waits for WakeWorkers, released meanwhile.
  virtual void WaitForWork() = 0;
  virtual void WakeWorkers() = 0;
  // The owner holding the lock: waits at most `ms` milliseconds for
  // WakeOwner (on Windows also for a message to its thread), released
  // meanwhile.
  virtual void WaitAsOwner(uint32_t ms) = 0;
  virtual void WakeOwner() = 0;
  // Waits until every started thread has returned from `run` (the caller
  // has told them to).
  virtual void Join() = 0;
};

// Null only when memory or the system's objects cannot be had.
std::unique_ptr<WorkerThreads> MakeWorkerThreads();

// The processors this process may run on (at least 1).
unsigned ProcessorCount();
// The physical memory not in use now, or the address space this process has
// left if that is less, in bytes (0 when unknown).
uint64_t AvailablePhysicalMemory();
