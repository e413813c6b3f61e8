// The stub's entry: guards the DLL search path, then runs the application
// object, which for now reads the package appended to its own file.
#include <windows.h>  // brings shellapi.h (CommandLineToArgvW) too

#include <cstdlib>
#include <memory>

#include "app/app_base.h"
#include "app/app_entry.h"
#include "installer/picture_decode.h"
#include "package/package_reader.h"
#include "platform/input_file.h"

namespace {

enum ExitCode : int {
  EXIT_DONE = 0,
  EXIT_FAILED = 1,
  EXIT_PICTURE_NOT_DECODED = 4,
};

// Windows' long-path limit in UTF-16 units, the most GetModuleFileNameW fills.
constexpr DWORD kMaxPathUnits = 32768;
// A picture of the installer window is a few hundred KB at most.
constexpr int64_t kMaxPictureFileSize = 64 * 1024 * 1024;

// A setup program is usually started from a downloads folder, where anyone
// can have left a DLL named like one Windows loads on demand (version.dll,
// uxtheme.dll, ...). From here on every DLL, including those system DLLs load
// on our behalf, comes from System32 only. Systems without the call (Windows
// 7 before KB2533623) are looked up at run time, not imported, so that the
// stub still starts there.
void RestrictDllSearchToSystem32() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  FARPROC address = GetProcAddress(kernel, "SetDefaultDllDirectories");
  if (address == nullptr) return;
  // Through void (*)(), the one pointer type GCC lets any function cast to.
  auto restrict =
      reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(address));
  restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Our own file's path, NUL-terminated, however long; null when it cannot be
// had. Freed with free().
wchar_t* OwnModulePath() {
  for (DWORD capacity = MAX_PATH; capacity <= kMaxPathUnits; capacity *= 2) {
    auto* path = static_cast<wchar_t*>(malloc(capacity * sizeof(wchar_t)));
    if (path == nullptr) return nullptr;
    DWORD length = GetModuleFileNameW(nullptr, path, capacity);
    if (length != 0 && length < capacity) return path;
    free(path);
    if (length == 0) return nullptr;
  }
  return nullptr;
}

const char16_t* AsUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

// Diagnostics until the installer window shows pictures: decodes one file.
int DecodePictureFile(const wchar_t* path) {
  std::unique_ptr<InputFile> file = OpenInputFile(AsUtf16(path));
  if (!file) return EXIT_PICTURE_NOT_DECODED;
  int64_t size = file->Size();
  if (size <= 0 || size > kMaxPictureFileSize) return EXIT_PICTURE_NOT_DECODED;
  auto* bytes = static_cast<uint8_t*>(malloc(static_cast<size_t>(size)));
  if (bytes == nullptr) return EXIT_PICTURE_NOT_DECODED;
  bool read = file->Read(bytes, static_cast<size_t>(size)) == static_cast<size_t>(size);
  Picture picture;
  PictureStatus status =
      read ? DecodePicture(bytes, static_cast<size_t>(size), &picture) : PICTURE_INVALID;
  free(bytes);
  return status == PICTURE_DECODED ? EXIT_DONE : EXIT_PICTURE_NOT_DECODED;
}

int RunSetup() {
  wchar_t* ownPath = OwnModulePath();
  if (ownPath == nullptr) return EXIT_FAILED;
  PackageInfo package;
  PackageStatus status = ReadPackage(AsUtf16(ownPath), &package);
  free(ownPath);
  switch (status) {
    case PACKAGE_NONE:
    case PACKAGE_VERIFIED:
      return EXIT_DONE;
    case PACKAGE_CORRUPTED:
      MessageBoxW(nullptr, L"This file is corrupted", L"Error", MB_OK | MB_ICONERROR | MB_TOPMOST);
      return EXIT_FAILED;
    case PACKAGE_UNREADABLE:
      return EXIT_FAILED;
  }
  return EXIT_FAILED;
}

// Until the installer window lands: does the whole job in InitInstance and
// ends the run through an empty message loop with the job's exit code.
class StubApp : public AppBase {
 public:
  int InitInstance() override {
    exitCode_ = RunJob();
    if (exitCode_ != EXIT_DONE) return exitCode_;
    PostQuitMessage(0);
    return 0;
  }
  int ExitInstance() override { return exitCode_; }

 private:
  static int RunJob() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int exitCode;
    if (argv != nullptr && argc == 3 && lstrcmpiW(argv[1], L"/decode-picture") == 0) {
      exitCode = DecodePictureFile(argv[2]);
    } else {
      exitCode = RunSetup();
    }
    LocalFree(argv);
    return exitCode;
  }

  int exitCode_ = EXIT_DONE;
};

StubApp theApp;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
  RestrictDllSearchToSystem32();
  return RunApplication(instance, commandLine, showCommand);
}
