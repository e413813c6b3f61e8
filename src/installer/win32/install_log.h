// The install log that /LOG=FILE asks for: UTF-8 lines, each written as it
// happens, so that a run that ends early leaves what it did.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "script/win32/script_actions.h"

class InstallLog final : public ActionLog {
 public:
  InstallLog() = default;
  ~InstallLog() override;
  InstallLog(const InstallLog&) = delete;
  InstallLog& operator=(const InstallLog&) = delete;

  enum class Opened { kYes, kNo, kLink };
  // Creates (or empties) the file; kNo when it cannot be. The clock for the
  // closing line starts here. Never written through a link: kLink when the
  // file or a folder on its path is one, or the file has other names.
  Opened Open(const std::u16string& path);
  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
  void Note(std::u16string_view line) override;
  // The closing line: the exit code and the time since Open.
  void Close(int exitCode);

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  DWORD start_ = 0;
};
