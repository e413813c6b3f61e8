#include "platform/win32/held_folders.h"

#include "base/utf8.h"
#include "platform/win32/wide_text.h"
#include "platform/windows_path.h"

namespace {

// Listing access takes part in sharing checks (attribute access alone does
// not): without FILE_SHARE_DELETE no other open may ask for DELETE, which a
// rename or a deletion of the folder needs.
constexpr DWORD kHoldAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kHoldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

std::u16string FinalPath(HANDLE handle) {
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(handle, reinterpret_cast<wchar_t*>(path.data()),
                                                   static_cast<DWORD>(path.size()), 0);
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length);
  }
}

// Whether `child` names `name` in `parent`, letter case aside.
bool IsChildPath(std::u16string_view child, std::u16string_view parent, std::u16string_view name) {
  const std::u16string expected =
      Concat({parent, parent.empty() || parent.back() != u'\\' ? u"\\" : u"", name});
  return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(child.data()),
                              static_cast<int>(child.size()),
                              reinterpret_cast<const wchar_t*>(expected.data()),
                              static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

HeldFolders::~HeldFolders() {
  for (const Folder& folder : folders_) {
    if (folder.handle != nullptr) CloseHandle(folder.handle);
  }
}

bool HeldFolders::Hold(std::u16string_view relative) {
  if (const Folder* known = Find(relative)) return known->handle != nullptr;
  const size_t cut = relative.rfind(u'\\');
  const std::u16string_view parentPath =
      cut == std::u16string_view::npos ? std::u16string_view() : relative.substr(0, cut);
  const Folder* parent = nullptr;
  if (!relative.empty()) {
    // The parent's entry may move as the list grows: looked up once held.
    const bool parentHeld = Hold(parentPath);
    parent = parentHeld ? Find(parentPath) : nullptr;
  }
  folders_.push_back(relative.empty() || parent != nullptr
                         ? Open(relative, parent)
                         : Folder{std::u16string(relative), nullptr, {}});
  last_ = folders_.size() - 1;
  return folders_.back().handle != nullptr;
}

void HeldFolders::Release(std::u16string_view relative) {
  if (Folder* folder = Find(relative); folder != nullptr && folder->handle != nullptr) {
    CloseHandle(folder->handle);
    folder->handle = nullptr;
  }
}

HeldFolders::Folder* HeldFolders::Find(std::u16string_view relative) {
  if (last_ < folders_.size() && folders_[last_].path == relative) return &folders_[last_];
  for (size_t i = 0; i < folders_.size(); ++i) {
    if (folders_[i].path == relative) {
      last_ = i;
      return &folders_[i];
    }
  }
  return nullptr;
}

HeldFolders::Folder HeldFolders::Open(std::u16string_view relative, const Folder* parent) const {
  Folder folder{std::u16string(relative), nullptr, {}};
  const std::u16string path =
      LongPathForm(relative.empty() ? root_ : Concat({root_, u"\\", relative}));
  // Below the root a link is opened as itself, never followed.
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (parent ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  const HANDLE handle =
      CreateFileW(AsWide(path), kHoldAccess, kHoldSharing, nullptr, OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return folder;
  BY_HANDLE_FILE_INFORMATION info;
  bool plain = GetFileInformationByHandle(handle, &info) &&
               (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  folder.final = FinalPath(handle);
  if (plain && parent != nullptr) {
    plain = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    // Wine opens a symbolic link's folder even when asked not to follow it,
    // and shows the folder's attributes: where the handle really is tells.
    // Without a name from the system (some volumes have none), the path's
    // own attributes stand in, read once the folder is held.
    const std::u16string_view name = relative.substr(relative.rfind(u'\\') + 1);
    if (!parent->final.empty()) {
      plain = plain && IsChildPath(folder.final, parent->final, name);
    } else {
      const DWORD attributes = GetFileAttributesW(AsWide(path));
      plain = plain && attributes != INVALID_FILE_ATTRIBUTES &&
              (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    }
  }
  if (plain) {
    folder.handle = handle;
  } else {
    CloseHandle(handle);
  }
  return folder;
}
