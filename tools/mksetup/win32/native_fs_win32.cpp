#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include "native_fs.h"
#include "win32/win32_text.h"

namespace {

void PrepareConsoleStream(std::FILE* stream, DWORD handleId) {
  // Bytes go out as written: "\n" stays "\n", as on every other system.
  _setmode(_fileno(stream), _O_BINARY);
  const HANDLE handle = GetStdHandle(handleId);
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
}

std::u16string AsU16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  // The narrow argv is in the ANSI code page and loses what it cannot show.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    std::string argument;
    if (!ToUtf8(wide[i], &argument)) argument = i < argc ? argv[i] : "";
    arguments.push_back(std::move(argument));
  }
  LocalFree(wide);
  return arguments;
}

void PrepareConsole() {
  SetConsoleOutputCP(CP_UTF8);
  PrepareConsoleStream(stdout, STD_OUTPUT_HANDLE);
  PrepareConsoleStream(stderr, STD_ERROR_HANDLE);
}

bool IsTerminal(std::FILE* stream) {
  // _isatty() also says yes for NUL; only a console can show the bar.
  DWORD mode = 0;
  return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode) != 0;
}

std::FILE* OpenNativeFile(const std::string& path, const char* mode) {
  return _wfopen(LongPath(path).c_str(), ToWide(mode).c_str());
}

bool IsNativeFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Either slash separates; "C:" alone names the current folder of a drive.
std::string FolderPart(const std::string& path) {
  const size_t cut = path.find_last_of("/\\:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string ExecutableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  path.resize(path.find_last_of(L"\\/") == std::wstring::npos ? 0 : path.find_last_of(L"\\/"));
  std::string folder;
  return ToUtf8(path, &folder) ? folder : std::string();
}

std::unique_ptr<InputFile> OpenPackageFile(const std::string& path, std::string* error) {
  std::unique_ptr<InputFile> file = OpenInputFile(AsU16(LongPath(path)).c_str());
  if (!file) *error = ErrorText(GetLastError());
  return file;
}

std::unique_ptr<TreeOutput> OpenExtractTarget(const std::string& path) {
  return OpenTreeOutput(AsU16(LongPath(path)).c_str());
}
