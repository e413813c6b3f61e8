#include "child_process.h"

namespace {
// How long the destructor waits for a process it had to terminate.
constexpr DWORD kTerminateWaitMs = 30000;
}  // namespace

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  started_ = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, nullptr, &startup, &info_) != 0;
  if (started_) CloseHandle(info_.hThread);
}

ChildProcess::~ChildProcess() {
  if (!started_) return;
  if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, kTerminateWaitMs);
  }
  CloseHandle(info_.hProcess);
}

DWORD ChildProcess::Wait(DWORD timeoutMs) const {
  if (!started_ || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    return kChildNotEnded;
  }
  DWORD code = kChildNotEnded;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}
