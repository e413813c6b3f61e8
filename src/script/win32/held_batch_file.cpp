#include "script/win32/held_batch_file.h"

#include "platform/win32/file_identity.h"
#include "platform/win32/wide_text.h"
#include "platform/windows_path.h"

bool HeldBatchFile::Write(const std::u16string& directory, std::u16string_view name,
                          const std::string& bytes) {
  // Not pinned: the install holds its own handles on the folder.
  folder_ = OpenFolder(LongPathForm(DirectoryForm(directory)), false);
  if (!folder_) return false;
  name_ = std::u16string(name);
  std::u16string path = directory;
  path.append(1, u'\\').append(name);
  path_ = LongPathForm(path);
  // A leftover of an earlier run goes first: the file is made new, so that
  // it is ours alone from its first byte.
  if (!RemovePlainFile(folder_.Get(), path_, name_)) return false;
  const HANDLE opened = CreateFileW(AsWide(path_), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return false;
  file_.Reset(opened);
  DWORD written = 0;
  // A file cut short would run half its commands: it is removed, not run.
  if (bytes.size() <= MAXDWORD &&
      WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size()) {
    return true;
  }
  Remove();
  return false;
}

bool HeldBatchFile::Remove() {
  if (!file_) return false;
  file_.Reset();
  return RemovePlainFile(folder_.Get(), path_, name_);
}
