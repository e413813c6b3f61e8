// The Windows twin of run_command_posix.cpp.
#include <windows.h>

#include "run_command.h"
#include "win32/win32_text.h"

std::string QuoteArgument(const std::string& path) {
  // Our temporaries are named in the \\?\ form, which not every signing
  // tool takes; a path that fits MAX_PATH goes without it. No file name
  // holds a double quote, nor ends in a backslash.
  std::string plain = path;
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) {
    plain = "\\\\" + path.substr(8);
  } else if (path.rfind("\\\\?\\", 0) == 0) {
    plain = path.substr(4);
  }
  if (plain.size() >= MAX_PATH) plain = path;  // bytes: at least its UTF-16 units
  return "\"" + plain + "\"";
}

int RunCommandLine(const std::string& commandLine, std::string* error) {
  std::wstring command = ToWide(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // Inherited handles: the tool writes to mksetup's (perhaps redirected)
  // standard streams. Our own files are opened without inheritance.
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    *error = "cannot start it: " + ErrorText(GetLastError());
    return -1;
  }
  CloseHandle(process.hThread);
  DWORD code = 0;
  const bool waited = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                      GetExitCodeProcess(process.hProcess, &code);
  const DWORD lastError = GetLastError();
  CloseHandle(process.hProcess);
  if (!waited) {
    *error = "cannot wait for it: " + ErrorText(lastError);
    return -1;
  }
  return static_cast<int>(code);
}
