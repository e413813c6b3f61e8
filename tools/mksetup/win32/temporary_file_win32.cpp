// The Windows twin of temporary_file.cpp: the finished file is moved over the
// target with MoveFileExW, and Ctrl+C, Ctrl+Break or a closed console
// window removes what is still temporary.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cwchar>
#include <stdexcept>

#include "temporary_file.h"
#include "win32/win32_text.h"

namespace {

// The names the console handler must remove, in storage it can read without
// allocating or locking. Paths in \\?\ form may be this long.
constexpr int REGISTRY_SLOTS = 8;
constexpr size_t REGISTRY_PATH_SIZE = 32768;
wchar_t g_registryPaths[REGISTRY_SLOTS][REGISTRY_PATH_SIZE];
std::atomic<bool> g_registryUsed[REGISTRY_SLOTS];

// Runs on a thread of its own; returning FALSE lets the default handler end
// the process. Temporaries are opened with FILE_SHARE_DELETE, so an open one
// is removed when the process closes its handle.
BOOL WINAPI RemoveTemporaries(DWORD) {
  for (int i = 0; i < REGISTRY_SLOTS; ++i) {
    if (g_registryUsed[i].load()) DeleteFileW(g_registryPaths[i]);
  }
  return FALSE;
}

void InstallHandlerOnce() {
  static const bool installed = SetConsoleCtrlHandler(RemoveTemporaries, TRUE) != 0;
  (void)installed;
}

int Register(const std::wstring& path) {
  if (path.size() >= REGISTRY_PATH_SIZE) return -1;
  for (int i = 0; i < REGISTRY_SLOTS; ++i) {
    if (g_registryUsed[i].load()) continue;
    std::wmemcpy(g_registryPaths[i], path.c_str(), path.size() + 1);
    g_registryUsed[i].store(true);
    return i;
  }
  return -1;
}

void Unregister(int& slot) {
  if (slot >= 0) g_registryUsed[slot].store(false);
  slot = -1;
}

[[noreturn]] void ThrowLastError(const std::string& what) {
  throw std::runtime_error(what + ": " + ErrorText(GetLastError()));
}

// Six letters that differ between processes and between calls.
std::wstring UniqueSuffix() {
  static std::atomic<uint32_t> counter{0};
  uint64_t seed = GetTickCount64() * 0x9E3779B97F4A7C15ull ^
                  (static_cast<uint64_t>(GetCurrentProcessId()) << 20) ^ counter++;
  std::wstring suffix;
  for (int i = 0; i < 6; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    suffix.push_back(L"abcdefghijklmnopqrstuvwxyz0123456789"[(seed >> 33) % 36]);
  }
  return suffix;
}

HANDLE HandleOf(std::FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

}  // namespace

TemporaryFile::TemporaryFile(const std::string& target, const char* tag) {
  InstallHandlerOnce();
  const std::wstring full = LongPath(target);
  const size_t slash = full.find_last_of(L'\\');
  const std::wstring folder = full.substr(0, slash + 1);
  const std::wstring prefix = folder + L"." + full.substr(slash + 1) + L"." + ToWide(tag) + L"-";
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::wstring path;
  for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
    path = prefix + UniqueSuffix();
    handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  std::string shownFolder;
  ToUtf8(folder, &shownFolder);
  if (handle == INVALID_HANDLE_VALUE)
    ThrowLastError("cannot create a temporary file in " + shownFolder);
  ToUtf8(path, &path_);
  slot_ = Register(path);
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
  file_ = fd < 0 ? nullptr : _fdopen(fd, "w+b");
  if (file_ == nullptr) {
    if (fd < 0) {
      CloseHandle(handle);
    } else {
      _close(fd);
    }
    DeleteFileW(path.c_str());
    Unregister(slot_);
    throw std::runtime_error("cannot open " + path_);
  }
  std::setvbuf(file_, nullptr, _IOFBF, size_t{1} << 20);
}

TemporaryFile::~TemporaryFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!path_.empty()) DeleteFileW(ToWide(path_).c_str());
  Unregister(slot_);
}

void TemporaryFile::Unlink() {
  // An open file cannot lose its name here; it goes when its handle closes.
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  if (!SetFileInformationByHandle(HandleOf(file_), FileDispositionInfo, &disposition,
                                  sizeof disposition)) {
    DeleteFileW(ToWide(path_).c_str());
  }
  path_.clear();
  Unregister(slot_);
}

void TemporaryFile::Close() {
  if (file_ == nullptr) return;
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (closed != 0) throw std::runtime_error("cannot write " + path_);
}

void TemporaryFile::Vacate() {
  Close();
  if (!DeleteFileW(ToWide(path_).c_str())) ThrowLastError("cannot remove " + path_);
}

void TemporaryFile::CommitAs(const std::string& target) {
  // A closed file is written through by MOVEFILE_WRITE_THROUGH.
  if (file_ != nullptr) {
    if (std::fflush(file_) != 0 || !FlushFileBuffers(HandleOf(file_))) {
      ThrowLastError("cannot write " + path_);
    }
    Close();
  }
  if (!MoveFileExW(ToWide(path_).c_str(), LongPath(target).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ThrowLastError("cannot create " + target);
  }
  path_.clear();
  Unregister(slot_);
}
