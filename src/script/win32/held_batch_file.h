// A batch file that nobody but the setup may change between its writing and
// the end of its run. cmd.exe reads a batch line by line, opening it anew for
// each: a file replaced or edited in a folder other users may write would run
// their commands elevated. The file is made new (never written through a
// link or another name of a file) and its writing handle, which shares
// reading only, is held until cmd.exe has ended; then the setup removes it.
// The file stays where scripts expect it, so that %~dp0 is the install folder.
#pragma once

#include <string>
#include <string_view>

#include "base/win32/win_handles.h"

class HeldBatchFile {
 public:
  HeldBatchFile() = default;
  ~HeldBatchFile() { Release(); }
  HeldBatchFile(const HeldBatchFile&) = delete;
  HeldBatchFile& operator=(const HeldBatchFile&) = delete;

  // Writes `bytes` as `name` in `directory` (no trailing backslash; "D:" for
  // a drive root), in place of a plain file of that name, and holds it. False
  // when the name is a link or a file with other names, or the file cannot be
  // written whole: then nothing of it is left and nothing should run.
  bool Write(const std::u16string& directory, std::u16string_view name, const std::string& bytes);
  // Ends the hold and removes the file; false when it could not be removed.
  bool Remove();
  // Ends the hold and leaves the file.
  void Release() { file_.Reset(); }

 private:
  KernelHandle folder_;
  KernelHandle file_;
  std::u16string path_;
  std::u16string name_;
};
