#include "installer/win32/tree_removal.h"

#include <windows.h>

#include "base/utf8.h"
#include "platform/win32/held_folders.h"
#include "platform/win32/wide_text.h"
#include "platform/windows_path.h"

namespace {

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
  // Each folder is held from its check to the end: one swapped for a link
  // meanwhile would lead the deletions by path outside the install.
  HeldFolders held(folder);
  size_t done = 0;
  for (const std::u16string& path : plan.files) {
    ++done;
    if (progress != nullptr) {
      const std::u16string name(NameOf(path));
      progress->OnFileName(name.c_str());
      progress->OnPercent(static_cast<int>(done * 99 / plan.files.size()));
    }
    if (!held.Hold(ParentOf(path))) continue;
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
    if (!held.Hold(path)) continue;
    // Its parent stays held: whatever is at the name now, it is in the
    // install folder, and only an empty folder (or a link itself) goes.
    held.Release(path);
    RemoveDirectoryW(AsWide(LongPathForm(Concat({folder, u"\\", path}))));
  }
}
