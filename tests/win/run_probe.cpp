// Started by script_actions_test through a [run] line: records how it was
// started into "run_probe.log" next to itself, one UTF-8 line per argument
// after the program's own, then "cwd=" and its working directory. The log is
// written under another name and renamed, so a reader sees it whole or not
// at all.
#include <windows.h>
// windows.h first: the shell header builds on it.
#include <shellapi.h>

#include <string>

namespace {

void AppendUtf8(std::string* out, const wchar_t* text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return;
  const size_t start = out->size();
  out->resize(start + static_cast<size_t>(length));
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out->data() + start, length, nullptr, nullptr);
  out->pop_back();  // the NUL
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::string log;
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; arguments != nullptr && i < count; ++i) {
    AppendUtf8(&log, arguments[i]);
    log += '\n';
  }
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  log += "cwd=";
  AppendUtf8(&log, directory);
  log += '\n';

  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring logPath(path);
  logPath.resize(logPath.rfind(L'\\') + 1);
  logPath += L"run_probe.log";
  const std::wstring partPath = logPath + L".part";
  HANDLE file = CreateFileW(partPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, log.data(), static_cast<DWORD>(log.size()), &written, nullptr);
  CloseHandle(file);
  return MoveFileExW(partPath.c_str(), logPath.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
