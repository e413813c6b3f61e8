// Writing an extracted tree with the Win32 file API: "<root>\<relative
// path>", as the stub has always built its paths, in the "\\?\" form past
// the plain calls' limit. The names were checked before they got here, so no
// component is "..", a device or a stream name.
//
// A file whose name is free is created at that name (CREATE_NEW, which
// refuses any name that exists, a link included): a fresh install pays no
// rename, and one killed midway leaves a cut new file, never a damaged old
// one. A name that exists, or appears meanwhile, is not opened: the file is
// written to a new file under a temporary name and renamed over the old one
// when it is whole. The renames are not written through: a killed setup
// needs no flush, and one per file costs NTFS a log flush. The temporary files go to one folder of
// their own at the root, made for this extraction and removed after it: Wine looks for a missing
// name by reading the whole folder, so a temporary name beside each file would cost a second read
// of a large folder per file. Where that folder cannot be made, they go beside their files. The
// stub runs elevated in folders that others may write to: a link planted at a file's name is
// refused, a hard link keeps its other name's data, a setup killed or a disk filled midway leaves
// every old file as it was, and every folder of the tree is held from its check to the end
// (held_folders.h), so that none is swapped for a link between the check and the renames into it.
#include <windows.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/entry_time.h"
#include "base/utf8.h"
#include "platform/buffered_output_file.h"
#include "platform/temporary_name.h"
#include "platform/tree_output.h"
#include "platform/win32/held_folders.h"
#include "platform/win32/wide_text.h"
#include "platform/windows_path.h"

namespace {

// Temporary names tried in a folder before giving up on a file.
constexpr int kNameAttempts = 16;

bool EntryTimeToFileTime(const EntryTime& time, FILETIME* fileTime) {
  // SystemTimeToFileTime refuses most bad dates itself; the check also
  // catches what it would accept but no entry should hold (hundredths 100+).
  if (!IsValidEntryTime(time)) return false;
  SYSTEMTIME system = {};
  system.wYear = time.year;
  system.wMonth = time.month;
  system.wDay = time.day;
  system.wHour = time.hour;
  system.wMinute = time.minute;
  system.wSecond = time.second;
  system.wMilliseconds = static_cast<WORD>(time.hundredths * 10);
  return SystemTimeToFileTime(&system, fileTime) != 0;
}

bool IsDiskFullError(DWORD error) {
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

// What a rename over a file that a running program holds fails with.
bool IsInUseError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION || error == ERROR_USER_MAPPED_FILE;
}

std::u16string SystemMessage(DWORD error) {
  wchar_t text[256];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, 256, nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n')) --length;
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

std::u16string_view FolderOf(std::u16string_view path) {
  return path.substr(0, path.rfind(u'\\') + 1);
}

class Win32TreeOutput;

class Win32OutputFile final : public BufferedOutputFile {
 public:
  // Fewer, larger WriteFile calls: the inflater hands over 4 KB at a time.
  static constexpr DWORD kBufferSize = 64 * 1024;

  // An empty `temporary`: the file was created at `target` itself.
  Win32OutputFile(Win32TreeOutput& owner, HANDLE handle, std::u16string temporary,
                  std::u16string target, std::u16string_view relativePath, DWORD targetAttributes)
      : BufferedOutputFile(kBufferSize),
        owner_(owner),
        handle_(handle),
        temporary_(std::move(temporary)),
        target_(std::move(target)),
        relativePath_(relativePath),
        targetAttributes_(targetAttributes) {}
  ~Win32OutputFile() override { Discard(); }

 private:
  int64_t WriteSome(const void* data, size_t size) override;
  bool CloseRaw() override { return CloseHandle(handle_) != 0; }

  // Through the open handle: a second open per file costs as much as the
  // file's own creation. A time set on a handle is not changed by its close,
  // nor by the rename.
  bool SetTimeRaw(const EntryTime& time) override {
    FILETIME fileTime;
    if (!EntryTimeToFileTime(time, &fileTime)) return false;
    return SetFileTime(handle_, &fileTime, &fileTime, &fileTime) != 0;
  }

  bool CommitRaw() override;
  void DiscardRaw() override { DeleteFileW(AsWide(temporary_.empty() ? target_ : temporary_)); }

  Win32TreeOutput& owner_;
  HANDLE handle_;
  std::u16string temporary_;
  std::u16string target_;
  std::u16string relativePath_;
  DWORD targetAttributes_;
};

class Win32TreeOutput final : public TreeOutput {
 public:
  Win32TreeOutput(const char16_t* root, ReplaceHandler* replace)
      : root_(root),
        held_(root),
        replace_(replace),
        serial_((GetCurrentProcessId() << 16) ^ GetTickCount()) {}

  ~Win32TreeOutput() override {
    if (staging_ == INVALID_HANDLE_VALUE) return;
    CloseHandle(staging_);
    RemoveDirectoryW(AsWide(stagingPath_));  // empty unless a file could not be deleted
  }

  DirectoryOutcome MakeDirectory(std::u16string_view relativePath) override {
    const std::u16string path = Join(relativePath);
    if (CreateDirectoryW(AsWide(path), nullptr)) {
      // Swapped for a link since it was made: refused like one.
      if (!held_.Hold(relativePath)) return DirectoryOutcome::kLink;
      known_.push_back({std::u16string(relativePath), true});
      return DirectoryOutcome::kMade;
    }
    // The attributes of the name itself: a link or junction is not followed
    // (the root is the caller's choice and may be one).
    const DWORD attributes = GetFileAttributesW(AsWide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return DirectoryOutcome::kFailed;
    }
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (link && !relativePath.empty()) return DirectoryOutcome::kLink;
    if (!held_.Hold(relativePath)) {
      return relativePath.empty() ? DirectoryOutcome::kFailed : DirectoryOutcome::kLink;
    }
    if (Find(relativePath) == nullptr) {
      known_.push_back({std::u16string(relativePath), false});
      RemoveLeftovers(path);
    }
    return relativePath.empty() ? DirectoryOutcome::kFailed : DirectoryOutcome::kExisting;
  }

  std::unique_ptr<OutputFile> CreateOutput(std::u16string_view relativePath,
                                           CreateRefusal* why) override {
    CreateRefusal refusal = CreateRefusal::kFailed;
    const std::u16string target = Join(relativePath);
    // In a folder this extraction made, nothing of an earlier install can be
    // in the way; a name planted there since is replaced by the rename, never
    // written through. Each look costs Wine a scan of the folder.
    const size_t slash = relativePath.rfind(u'\\');
    const std::u16string_view parent =
        relativePath.substr(0, slash == std::u16string_view::npos ? 0 : slash);
    // Only into a folder held since its check (answered from memory).
    if (!held_.Hold(parent)) {
      if (why != nullptr) *why = CreateRefusal::kLink;
      return nullptr;
    }
    const KnownFolder* folderSeen = Find(parent);
    if (std::unique_ptr<OutputFile> file = CreateAtName(target, relativePath, &refusal)) {
      return file;
    }
    if (refusal == CreateRefusal::kDiskFull) {
      if (why != nullptr) *why = refusal;
      return nullptr;
    }
    const DWORD attributes = folderSeen != nullptr && folderSeen->made
                                 ? INVALID_FILE_ATTRIBUTES
                                 : GetFileAttributesW(AsWide(target));
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) refusal = CreateRefusal::kLink;
      if ((attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        if (why != nullptr) *why = refusal;
        return nullptr;
      }
    }
    const std::u16string& staging = StagingFolder();
    const std::u16string_view folder = staging.empty() ? FolderOf(target) : staging;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::u16string temporary(folder);
      temporary += TemporaryFileName(serial_++);
      HANDLE handle = CreateNewFile(temporary);
      if (handle != INVALID_HANDLE_VALUE) {
        return Wrap(handle, std::move(temporary), target, relativePath, attributes);
      }
      const DWORD error = GetLastError();
      if (IsExistsError(error)) continue;
      if (IsDiskFullError(error)) {
        NoteDiskFull();
        refusal = CreateRefusal::kDiskFull;
      }
      break;
    }
    if (why != nullptr) *why = refusal;
    return nullptr;
  }

  bool SetEntryTime(std::u16string_view relativePath, const EntryTime& time) override {
    return SetFileTimeFromEntry(time, Join(relativePath).c_str());
  }

  void NoteError(DWORD error) {
    if (IsDiskFullError(error)) NoteDiskFull();
  }

  // Renames the whole file over its place. `attributes` are the target's
  // when its file was opened; a failed rename looks again and tries once
  // more before it counts. A name in use is the handler's to decide on:
  // tried again, or replaced at the next restart.
  bool PutInPlace(const std::u16string& temporary, const std::u16string& target,
                  std::u16string_view relativePath, DWORD attributes) {
    for (bool looked = false;;) {
      // A read-only file of an earlier install is replaced like any other;
      // it keeps its attribute should the rename fail.
      const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES &&
                            (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
                            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
      if (readOnly) SetFileAttributesW(AsWide(target), attributes & ~FILE_ATTRIBUTE_READONLY);
      if (MoveFileExW(AsWide(temporary), AsWide(target), MOVEFILE_REPLACE_EXISTING)) {
        return true;
      }
      const DWORD error = GetLastError();
      if (readOnly) SetFileAttributesW(AsWide(target), attributes);
      attributes = GetFileAttributesW(AsWide(target));
      if (!looked) {
        looked = true;
        continue;
      }
      NoteError(error);
      if (!IsInUseError(error) || replace_ == nullptr) break;
      if (replace_->RetryReplace(relativePath, SystemMessage(error).c_str())) continue;
      if (ReplaceAtRestart(temporary, target)) {
        replace_->ReplacedAtRestart(relativePath);
        return true;
      }
      break;
    }
    DeleteFileW(AsWide(temporary));
    return false;
  }

 private:
  // In the form the file calls take at any length.
  std::u16string Join(std::u16string_view relativePath) const {
    std::u16string path = root_;
    if (!relativePath.empty()) {
      path.push_back(u'\\');
      path.append(relativePath);
    }
    return LongPathForm(path);
  }

  static bool IsExistsError(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
  }

  // A link planted at the name is neither followed nor opened.
  static HANDLE CreateNewFile(const std::u16string& path) {
    return CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  }

  std::unique_ptr<OutputFile> Wrap(HANDLE handle, std::u16string temporary,
                                   const std::u16string& target, std::u16string_view relativePath,
                                   DWORD attributes) {
    auto* file = new (std::nothrow)
        Win32OutputFile(*this, handle, temporary, target, relativePath, attributes);
    if (file == nullptr) {
      CloseHandle(handle);
      DeleteFileW(AsWide(temporary.empty() ? target : temporary));
    }
    return std::unique_ptr<OutputFile>(file);
  }

  // The file at its own name when nothing is there. Null, with `why` set
  // only for a full disk, when the name exists or cannot be created there:
  // the temporary name's way then decides.
  std::unique_ptr<OutputFile> CreateAtName(const std::u16string& target,
                                           std::u16string_view relativePath, CreateRefusal* why) {
    HANDLE handle = CreateNewFile(target);
    if (handle != INVALID_HANDLE_VALUE) {
      return Wrap(handle, std::u16string(), target, relativePath, INVALID_FILE_ATTRIBUTES);
    }
    if (IsDiskFullError(GetLastError())) {
      NoteDiskFull();
      *why = CreateRefusal::kDiskFull;
    }
    return nullptr;
  }

  // The new file moves to a name that no later extraction removes, and the
  // system renames it over the old one when it restarts (which takes the
  // rights the elevated setup has).
  bool ReplaceAtRestart(const std::u16string& temporary, const std::u16string& target) {
    std::u16string pending(FolderOf(target));
    pending += PendingFileName(serial_++);
    if (!MoveFileExW(AsWide(temporary), AsWide(pending), 0)) return false;
    if (MoveFileExW(AsWide(pending), AsWide(target),
                    MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) {
      return true;
    }
    DeleteFileW(AsWide(pending));
    return false;
  }

  // The folder for this extraction's temporary files, with a trailing
  // separator; made at the first file, empty when it cannot be. Held open
  // without delete sharing, so that nobody renames or replaces it meanwhile.
  const std::u16string& StagingFolder() {
    if (stagingTried_) return stagingPath_;
    stagingTried_ = true;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::u16string path = Join(TemporaryFileName(serial_++));
      if (!CreateDirectoryW(AsWide(path), nullptr)) {
        if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
        break;
      }
      // Listing access: attribute access alone takes no part in sharing.
      staging_ = CreateFileW(AsWide(path), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (staging_ == INVALID_HANDLE_VALUE) {
        RemoveDirectoryW(AsWide(path));
        break;
      }
      stagingPath_ = std::move(path);
      break;
    }
    if (!stagingPath_.empty()) stagingPath_.push_back(u'\\');
    return stagingPath_;
  }

  // What a setup killed while it wrote left in `folder`: only plain files
  // under the extraction's own temporary names, and folders of such files
  // under those names. A file or folder that another running extraction
  // still uses is open without delete sharing and stays.
  static void RemoveLeftovers(const std::u16string& folder, bool inStaging = false) {
    const std::u16string pattern = folder + u"\\~setup*.tmp";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(AsWide(pattern), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      const std::u16string_view name(reinterpret_cast<const char16_t*>(found.cFileName));
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
          !IsTemporaryFileName(name)) {
        continue;
      }
      const std::u16string path = Concat({folder, u"\\", name});
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileW(AsWide(path));
      } else if (!inStaging) {
        RemoveLeftovers(path, true);
        RemoveDirectoryW(AsWide(path));
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }

  struct KnownFolder {
    std::u16string path;
    bool made;  // by this extraction, else found and cleared of leftovers
  };

  // The folder's entry, the last one looked up first: files come after
  // their folder.
  const KnownFolder* Find(std::u16string_view relativePath) {
    if (last_ < known_.size() && known_[last_].path == relativePath) return &known_[last_];
    for (size_t i = 0; i < known_.size(); ++i) {
      if (known_[i].path == relativePath) {
        last_ = i;
        return &known_[i];
      }
    }
    return nullptr;
  }

  std::u16string root_;
  HeldFolders held_;
  ReplaceHandler* replace_;
  uint32_t serial_;
  HANDLE staging_ = INVALID_HANDLE_VALUE;
  std::u16string stagingPath_;
  bool stagingTried_ = false;
  // Folders made or cleared of leftovers already: both walks pass them (a
  // list: a set's code would cost the stub more than the search costs).
  std::vector<KnownFolder> known_;
  size_t last_ = 0;
};

int64_t Win32OutputFile::WriteSome(const void* data, size_t size) {
  const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  DWORD done = 0;
  if (!WriteFile(handle_, data, want, &done, nullptr)) {
    owner_.NoteError(GetLastError());
    return -1;
  }
  return done;
}

bool Win32OutputFile::CommitRaw() {
  if (temporary_.empty()) return true;
  return owner_.PutInPlace(temporary_, target_, relativePath_, targetAttributes_);
}

}  // namespace

std::unique_ptr<TreeOutput> OpenTreeOutput(const char16_t* root, ReplaceHandler* replace) {
  return std::unique_ptr<TreeOutput>(new (std::nothrow) Win32TreeOutput(root, replace));
}

bool SetFileTimeFromEntry(const EntryTime& time, const char16_t* path) {
  FILETIME fileTime;
  if (!EntryTimeToFileTime(time, &fileTime)) return false;
  HANDLE handle = CreateFileW(AsWide(LongPathForm(path).c_str()), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const BOOL set = SetFileTime(handle, &fileTime, &fileTime, &fileTime);
  CloseHandle(handle);
  return set != 0;
}
