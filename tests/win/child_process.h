// A program started by a Windows test, ended at the end of the scope if it
// still runs.
#pragma once

#include <windows.h>

#include <string>

// What Wait returns while the process has not ended; no test program exits
// with it.
inline constexpr DWORD kChildNotEnded = 0xBAD0BAD0;

class ChildProcess {
 public:
  // Starts `program` with `arguments` behind its quoted path.
  ChildProcess(const std::wstring& program, const std::wstring& arguments);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return started_; }
  // The exit code, or kChildNotEnded when the process outlives the wait.
  DWORD Wait(DWORD timeoutMs) const;

 private:
  bool started_ = false;
  PROCESS_INFORMATION info_{};
};
