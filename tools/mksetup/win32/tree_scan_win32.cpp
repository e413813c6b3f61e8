// Walking the tree folder with the Win32 file API. Hidden and system files
// are entries like any other; reparse points (symbolic links, junctions)
// are refused as symbolic links are elsewhere.
#include <windows.h>

#include <vector>

#include "base/entry_time.h"
#include "builder/tree_rules.h"
#include "tree_scan.h"
#include "win32/win32_text.h"

namespace {

constexpr uint64_t TICKS_PER_SECOND = 10'000'000;  // FILETIME counts 100 ns
constexpr int64_t SECONDS_1601_TO_1970 = 11'644'473'600;

std::string Join(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "/" + name;
}

[[noreturn]] void ThrowLastError(const std::string& path, const char* what) {
  throw PackageError(path, std::string(what) + ": " + ErrorText(GetLastError()));
}

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

TreeEntry FileEntry(const std::string& name, const WIN32_FIND_DATAW& data,
                    const std::string& path) {
  TreeEntry entry;
  entry.name = name;
  entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  const uint64_t ticks = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime;
  const int64_t seconds = static_cast<int64_t>(ticks / TICKS_PER_SECOND) - SECONDS_1601_TO_1970;
  const auto nanoseconds = static_cast<uint32_t>(ticks % TICKS_PER_SECOND * 100);
  if (!EntryTimeFromUnix(seconds, nanoseconds, &entry.time)) {
    throw PackageError(path, "the modification time is outside the years 1601 to 30827");
  }
  return entry;
}

// The final path of what `fullPath` names, links and junctions resolved;
// empty when it cannot be opened (a link to nothing).
std::wstring FinalPath(const std::wstring& fullPath) {
  const HANDLE handle = CreateFileW(fullPath.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                           FILE_NAME_NORMALIZED);
  if (length >= path.size()) {
    path.resize(length);
    length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                       FILE_NAME_NORMALIZED);
  }
  CloseHandle(handle);
  path.resize(length < path.size() ? length : 0);
  return path;
}

// True when `path` is `folder` or lies inside it (file names compare without
// letter case, as Windows compares them).
bool IsWithin(const std::wstring& path, const std::wstring& folder) {
  if (path.size() < folder.size()) return false;
  if (CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                           static_cast<int>(folder.size()), TRUE) != CSTR_EQUAL) {
    return false;
  }
  return path.size() == folder.size() || path[folder.size()] == L'\\';
}

struct ScanContext {
  bool followLinks = false;
  std::wstring finalRoot;  // the tree folder's final path, when following links
};

// With --follow-links, what a reparse point stands for: its target's
// attributes and times, once the target is known to lie in the tree and not
// to hold the link itself (a loop).
void FollowLink(const ScanContext& context, const std::wstring& fullPath, const std::string& path,
                WIN32_FIND_DATAW* data) {
  const std::wstring target = FinalPath(fullPath);
  if (target.empty()) ThrowLastError(path, "cannot follow the link");
  if (!IsWithin(target, context.finalRoot)) {
    throw PackageError(path, "the link points outside the tree");
  }
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &attributes)) {
    ThrowLastError(path, "cannot follow the link");
  }
  if (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    const std::wstring holder = FinalPath(fullPath.substr(0, fullPath.rfind(L'\\')));
    if (IsWithin(holder, target)) throw PackageError(path, "the link makes a loop");
  }
  data->dwFileAttributes = attributes.dwFileAttributes & ~FILE_ATTRIBUTE_REPARSE_POINT;
  data->ftLastWriteTime = attributes.ftLastWriteTime;
  data->nFileSizeHigh = attributes.nFileSizeHigh;
  data->nFileSizeLow = attributes.nFileSizeLow;
}

// Lists one folder and closes it before descending, so that deep trees do
// not pile up open handles.
void ScanDirectory(const ScanContext& context, const std::wstring& fullPath,
                   const std::string& relativePath, TreeEntry& directory) {
  {
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileExW((fullPath + L"\\*").c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (find.get() == INVALID_HANDLE_VALUE) ThrowLastError(relativePath, "cannot read the folder");
    do {
      const std::wstring wideName = data.cFileName;
      if (wideName == L"." || wideName == L"..") continue;
      std::string name;
      if (!ToUtf8(wideName, &name)) {
        std::string shown;
        ToUtf8(std::wstring(wideName.size(), L'?'), &shown);
        throw PackageError(Join(relativePath, shown),
                           "the name is not valid UTF-16 (a lone surrogate)");
      }
      const std::string path = Join(relativePath, name);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (!context.followLinks) {
          throw PackageError(path,
                             "a symbolic link or junction; a package holds only folders and "
                             "regular files (--follow-links stores what links point at)");
        }
        FollowLink(context, fullPath + L"\\" + wideName, path, &data);
      }
      const DWORD attributes = data.dwFileAttributes;
      if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        TreeEntry child;
        child.name = name;
        child.isDirectory = true;
        directory.children.push_back(std::move(child));
      } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
        throw PackageError(path, "a device; a package holds only folders and regular files");
      } else {
        directory.children.push_back(FileEntry(name, data, path));
      }
    } while (FindNextFileW(find.get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
      ThrowLastError(relativePath, "cannot read the folder");
    }
  }
  for (TreeEntry& child : directory.children) {
    if (child.isDirectory) {
      ScanDirectory(context, fullPath + L"\\" + ToWide(child.name), Join(relativePath, child.name),
                    child);
    }
  }
}

class HandleReader final : public ContentReader {
 public:
  HandleReader(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  ~HandleReader() override { CloseHandle(handle_); }
  HandleReader(const HandleReader&) = delete;
  HandleReader& operator=(const HandleReader&) = delete;

  size_t Read(void* buffer, size_t size) override {
    const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, want, &got, nullptr)) {
      ThrowLastError(path_, "cannot read the file");
    }
    return got;
  }

 private:
  HANDLE handle_;
  std::string path_;
};

}  // namespace

ScannedTree ScanTree(const std::string& directory, bool followLinks) {
  const std::wstring root = LongPath(directory);
  const DWORD attributes = GetFileAttributesW(root.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    throw PackageError(
        "", "cannot read the tree folder " + directory + ": " + ErrorText(GetLastError()));
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw PackageError("", "the tree " + directory + " is not a folder");
  }
  ScanContext context;
  context.followLinks = followLinks;
  if (followLinks) {
    context.finalRoot = FinalPath(root);
    if (context.finalRoot.empty()) ThrowLastError("", "cannot read the tree folder");
  }
  ScannedTree tree;
  tree.root.isDirectory = true;
  ScanDirectory(context, root, "", tree.root);
  SortTree(tree.root);
  return tree;
}

std::unique_ptr<ContentReader> TreeContentSource::Open(const std::string& path) {
  // Without --follow-links the reparse point itself is opened, never what it
  // points at.
  const DWORD linkFlag = followLinks_ ? 0 : FILE_FLAG_OPEN_REPARSE_POINT;
  const HANDLE handle = CreateFileW(LongPath(Join(directory_, path)).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    linkFlag | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) ThrowLastError(path, "cannot open the file");
  auto reader = std::make_unique<HandleReader>(handle, path);
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information)) {
    ThrowLastError(path, "cannot read the file");
  }
  if (information.dwFileAttributes &
      (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) {
    throw PackageError(path, "no longer a regular file");
  }
  return reader;
}
