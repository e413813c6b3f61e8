#include "installer/win32/tree_removal.h"

#include <windows.h>

#include "base/utf8.h"
#include "platform/win32/wide_text.h"
#include "platform/windows_path.h"

namespace {

// Whether every folder from the install folder down to `relative` is a real
// folder (no link or junction). The files of one folder come one after the
// other, so the last folder answered is remembered.
class FolderChain {
 public:
  explicit FolderChain(const std::u16string& root) : root_(root) {}

  bool IsPlain(std::u16string_view relative) {
    if (checked_ && relative == last_) return lastPlain_;
    checked_ = true;
    last_ = relative;
    lastPlain_ = true;
    for (size_t end = 0; end < relative.size() && lastPlain_;) {
      end = relative.find(u'\\', end + 1);
      if (end == std::u16string_view::npos) end = relative.size();
      const std::u16string prefix = Concat({root_, u"\\", relative.substr(0, end)});
      const DWORD attributes = GetFileAttributesW(AsWide(LongPathForm(prefix)));
      lastPlain_ = attributes != INVALID_FILE_ATTRIBUTES &&
                   (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                   (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    }
    return lastPlain_;
  }

 private:
  const std::u16string& root_;
  std::u16string last_;
  bool checked_ = false;
  bool lastPlain_ = false;
};

std::u16string_view ParentOf(std::u16string_view path) {
  const size_t cut = path.rfind(u'\\');
  return cut == std::u16string_view::npos ? std::u16string_view() : path.substr(0, cut);
}

std::u16string_view NameOf(std::u16string_view path) { return path.substr(path.rfind(u'\\') + 1); }

}  // namespace

std::u16string FoldForWindows(std::u16string_view path) {
  std::u16string folded(path);
  if (!folded.empty()) {
    LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, AsWide(folded.c_str()),
                 static_cast<int>(folded.size()), reinterpret_cast<wchar_t*>(folded.data()),
                 static_cast<int>(folded.size()));
  }
  return folded;
}

void RemovePlannedFiles(const std::u16string& folder, const RemovalPlan& plan, FileList* failed,
                        ExtractProgress* progress) {
  FolderChain chain(folder);
  size_t done = 0;
  for (const std::u16string& path : plan.files) {
    ++done;
    if (progress != nullptr) {
      const std::u16string name(NameOf(path));
      progress->OnFileName(name.c_str());
      progress->OnPercent(static_cast<int>(done * 99 / plan.files.size()));
    }
    if (!chain.IsPlain(ParentOf(path))) continue;
    const std::u16string full = LongPathForm(Concat({folder, u"\\", path}));
    const DWORD attributes = GetFileAttributesW(AsWide(full));
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
      continue;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      SetFileAttributesW(AsWide(full), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!DeleteFileW(AsWide(full))) {
      const DWORD error = GetLastError();
      if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) SetFileAttributesW(AsWide(full), attributes);
      if (error != ERROR_FILE_NOT_FOUND) failed->Add(path);
    }
  }
  for (const std::u16string& path : plan.folders) {
    if (!chain.IsPlain(path)) continue;
    RemoveDirectoryW(AsWide(LongPathForm(Concat({folder, u"\\", path}))));
  }
}
