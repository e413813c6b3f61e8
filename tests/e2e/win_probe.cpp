// The end-to-end tests' eyes and hands inside Wine: one console program with a mode per job,
// printing UTF-8 lines of tab-separated fields.
//   rects TITLE [WAIT_MS]   the visible top-level window titled TITLE (waited for), its
//                           controls asked for their text
//   dump TITLE              the same without sending it a message (safe while the setup is busy)
//   watch EXE MS            each visible top-level window of a process of that image name,
//                           until none is left ("gone") or MS pass
//   dialog EXE WAIT_MS      the first visible message box of such a process: "title", then as rects
//   post TITLE timer|close  WM_TIMER 100, or what the close box sends
//   post TITLE click TEXT   BN_CLICKED of its button captioned TEXT
//   lnk FILE                a shortcut's target, working directory, description (arguments, icon)
//   version FILE            as Windows reads the file's identity: "fixed" and the numeric file
//                           version, a line per text of its US English string table, then
//                           "icon" and the size in bytes of each image of icon group 100
//   sleep MS                waits (a batch section that takes time)
//   swap SETUP OTHER        renames SETUP to SETUP.old, then copies OTHER to SETUP's name:
//                           "move"/"copy", each with its result and GetLastError
//   fill PATH BYTES         writes up to BYTES zero bytes to a new file PATH, stopping at the
//                           first failed write: "wrote", the count and GetLastError
//   lock PATH MS            holds PATH open, sharing nothing, for MS: "locked" once it has it
//   movedir made|gone FILE FOLDER MS   once FILE is made (or gone), renames FOLDER to
//                           FOLDER.away as another user's program would: "move" and its result
//   hold MS                 keeps a hidden window on Wine's desktop (see Hold)
//   tamper BATCH LINE DONE MS  waits up to MS for BATCH, then while it is there and DONE is
//                           not (the batch's last line makes it) tries to make it run LINE:
//                           rewriting it, replacing it, deleting it; "tampered" and how many
//                           tries worked (none must)
//   acl PATH                PATH's DACL in the descriptor language
//   exec LINE               runs the command line LINE as it stands (Wine would quote each
//                           argument anew) and exits with the program's exit code
//   record=FILE [ARGS...]   appends "run ARGS cwd=DIR" to FILE ([run]'s probe)
//   seen KEY NAME FILE TEXT appends the line TEXT to FILE when the value NAME exists under
//                           HKEY_CURRENT_USER\KEY (a batch's own check would read errorlevel,
//                           which Wine's cmd resets after a redirected command)
//   /c ...                  a copy planted as cmd.exe: the same into planted.log
#include <windows.h>
// windows.h first: the headers below build on it.
#include <sddl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
  std::string out(text.size() * 3, '\0');
  out.resize(static_cast<size_t>(
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                          static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

void Print(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : "\t") + field;
  std::puts(line.c_str());
  std::fflush(stdout);
}

std::string Number(long value) { return std::to_string(value); }

// A text of several lines as one, its line ends written "\\n": one line per
// window in the output.
std::wstring OneLine(std::wstring text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'\n') out += L"\\n";
    if (c != L'\r' && c != L'\n') out += c;
  }
  return out;
}

// The text the system keeps for a window (no message reaches its owner), or with `ask` the
// control's own, asked of its owner (an edit control keeps its text to itself) for 500 ms.
std::wstring TextOf(HWND window, bool ask = false) {
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  if (!ask || SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                                  SMTO_ABORTIFHUNG, 500, &copied) == 0) {
    GetWindowTextW(window, text, 1024);
  }
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

BOOL CALLBACK Collect(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// The top-level windows (or the direct children of `parent`) in Z order.
std::vector<HWND> Windows(HWND parent = nullptr) {
  std::vector<HWND> found;
  if (parent == nullptr) {
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&found));
  } else {
    EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&found));
    std::erase_if(found, [parent](HWND child) { return GetParent(child) != parent; });
  }
  return found;
}

// Calls `look` every 10 ms until it gives a window or `waitMs` have passed.
template <typename Look>
HWND Poll(DWORD waitMs, Look look) {
  for (const ULONGLONG end = GetTickCount64() + waitMs;; Sleep(10)) {
    if (HWND window = look()) return window;
    if (GetTickCount64() >= end) return nullptr;
  }
}

// The first top-level window titled exactly `title`; a visible one is
// preferred, since a setup keeps hidden windows of the same title around.
HWND FindTopLevel(const std::wstring& title, bool visibleOnly = false) {
  HWND hidden = nullptr;
  for (HWND window : Windows()) {
    if (TextOf(window) != title) continue;
    if (IsWindowVisible(window)) return window;
    if (hidden == nullptr) hidden = window;
  }
  return visibleOnly ? nullptr : hidden;
}

std::vector<DWORD> ProcessesNamed(const std::wstring& exeName) {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    const std::wstring name = entry.szExeFile;
    if (name.size() >= exeName.size() &&
        _wcsicmp(name.c_str() + name.size() - exeName.size(), exeName.c_str()) == 0) {
      ids.push_back(entry.th32ProcessID);
    }
  }
  CloseHandle(snapshot);
  return ids;
}

bool OwnedByAny(HWND window, const std::vector<DWORD>& processes) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return std::find(processes.begin(), processes.end(), process) != processes.end();
}

// window  VISIBLE X Y W H  (screen)   client X Y W H   metrics CYCAPTION CXSCREEN CYSCREEN
// child   CLASS VISIBLE ENABLED X Y W H TEXT            (client coordinates)
void PrintWindow(HWND window, bool ask) {
  RECT outer;
  RECT client;
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  Print({"window", IsWindowVisible(window) ? "1" : "0", Number(outer.left), Number(outer.top),
         Number(outer.right - outer.left), Number(outer.bottom - outer.top)});
  Print(
      {"client", Number(origin.x), Number(origin.y), Number(client.right), Number(client.bottom)});
  Print({"metrics", Number(GetSystemMetrics(SM_CYCAPTION)), Number(GetSystemMetrics(SM_CXSCREEN)),
         Number(GetSystemMetrics(SM_CYSCREEN))});
  for (HWND child : Windows(window)) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
    Print({"child", Utf8(ClassOf(child)), IsWindowVisible(child) ? "1" : "0",
           IsWindowEnabled(child) ? "1" : "0", Number(rect.left), Number(rect.top),
           Number(rect.right - rect.left), Number(rect.bottom - rect.top),
           Utf8(OneLine(TextOf(child, ask)))});
  }
}

// Until the processes of that name have come and gone: "gone", "timeout" or
// "never-started" last.
int Watch(const std::wstring& exeName, DWORD waitMs) {
  std::vector<std::wstring> seen;
  bool appeared = false;
  for (const ULONGLONG end = GetTickCount64() + waitMs;; Sleep(10)) {
    const std::vector<DWORD> processes = ProcessesNamed(exeName);
    if (appeared && processes.empty()) break;
    appeared = appeared || !processes.empty();
    for (HWND window : Windows()) {
      if (!IsWindowVisible(window) || !OwnedByAny(window, processes)) continue;
      const std::wstring description = ClassOf(window) + L"\t" + TextOf(window);
      if (std::find(seen.begin(), seen.end(), description) != seen.end()) continue;
      seen.push_back(description);
      Print({"visible", Utf8(description)});
    }
    if (GetTickCount64() >= end) {
      Print({appeared ? "timeout" : "never-started"});
      return 0;
    }
  }
  Print({"gone"});
  return 0;
}

int PostTrigger(const std::wstring& title, const std::wstring& kind, const wchar_t* caption) {
  HWND window = FindTopLevel(title);
  if (window == nullptr) return 1;
  if (kind == L"timer") return PostMessageW(window, WM_TIMER, 100, 0) ? 0 : 1;
  if (kind == L"close") return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
  if (kind != L"click" || caption == nullptr) return 2;
  for (HWND button : Windows(window)) {
    if (_wcsicmp(ClassOf(button).c_str(), L"Button") != 0 || TextOf(button) != caption) continue;
    const WPARAM command = MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED);
    return PostMessageW(window, WM_COMMAND, command, reinterpret_cast<LPARAM>(button)) ? 0 : 1;
  }
  return 1;
}

int PrintShortcut(const wchar_t* path) {
  CoInitialize(nullptr);
  int result = 1;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(path, STGM_READ))) {
    wchar_t text[5][MAX_PATH * 2] = {};
    int icon = 0;
    link->GetPath(text[0], MAX_PATH * 2, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(text[1], MAX_PATH * 2);
    link->GetDescription(text[2], MAX_PATH * 2);
    link->GetArguments(text[3], MAX_PATH * 2);
    link->GetIconLocation(text[4], MAX_PATH * 2, &icon);
    // Arguments and icon only where a shortcut has them.
    Print({"target=" + Utf8(text[0]) + "\nworkdir=" + Utf8(text[1]) + "\ndescription=" +
           Utf8(text[2]) + (text[3][0] != 0 ? "\narguments=" + Utf8(text[3]) : std::string()) +
           (text[4][0] != 0 ? "\nicon=" + Utf8(text[4]) + "," + std::to_string(icon)
                            : std::string())});
    result = 0;
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  CoUninitialize();
  return result;
}

int PrintVersion(const wchar_t* path) {
  std::vector<BYTE> info(GetFileVersionInfoSizeW(path, nullptr));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  if (info.empty() || !GetFileVersionInfoW(path, 0, static_cast<DWORD>(info.size()), info.data()) ||
      !VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size)) {
    return 1;
  }
  Print({"fixed", Number(HIWORD(fixed->dwFileVersionMS)) + "." +
                      Number(LOWORD(fixed->dwFileVersionMS)) + "." +
                      Number(HIWORD(fixed->dwFileVersionLS)) + "." +
                      Number(LOWORD(fixed->dwFileVersionLS))});
  for (const wchar_t* key : {L"ProductName", L"FileDescription", L"ProductVersion", L"FileVersion",
                             L"CompanyName", L"LegalCopyright"}) {
    wchar_t* text = nullptr;
    if (VerQueryValueW(info.data(), (std::wstring(L"\\StringFileInfo\\040904B0\\") + key).c_str(),
                       reinterpret_cast<void**>(&text), &size)) {
      Print({Utf8(key), Utf8(text)});
    }
  }
  HMODULE module =
      LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  HRSRC group = module ? FindResourceW(module, MAKEINTRESOURCEW(100), RT_GROUP_ICON) : nullptr;
  const BYTE* entries =
      group ? static_cast<const BYTE*>(LockResource(LoadResource(module, group))) : nullptr;
  std::string sizes = "icon";
  for (WORD i = 0; entries != nullptr && i < *reinterpret_cast<const WORD*>(entries + 4); ++i) {
    const WORD id = *reinterpret_cast<const WORD*>(entries + 6 + 14 * i + 12);
    HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(id), RT_ICON);
    sizes += " " + Number(image ? static_cast<long>(SizeofResource(module, image)) : -1);
  }
  Print({sizes});
  if (module != nullptr) FreeLibrary(module);
  return 0;
}

// Appends the whole line with one write, so that concurrent starts do not mix.
int AppendLine(const std::wstring& path, std::string line) {
  line += "\r\n";
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return ok ? 0 : 1;
}

int Record(const std::wstring& path, int argc, wchar_t** argv) {
  std::string line = "run";
  for (int i = 0; i < argc; ++i) line += " " + Utf8(argv[i]);
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  return AppendLine(path, line + " cwd=" + Utf8(directory));
}

// Asks the registry itself (the view of this probe's bitness, as a batch's reg.exe would).
int Seen(const wchar_t* key, const wchar_t* name, const wchar_t* path, const wchar_t* text) {
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY, nullptr, nullptr, nullptr) !=
      ERROR_SUCCESS) {
    return 0;
  }
  return AppendLine(path, Utf8(text));
}

// Wine closes its desktop after the last window and is slow to restart it; "ready", or exit 3
// without a display. Answers its messages meanwhile: a window that does not would stall every
// program that broadcasts a message to all windows.
int Hold(DWORD ms) {
  HWND window = CreateWindowExW(0, L"STATIC", L"win_probe hold", WS_POPUP, 0, 0, 1, 1, nullptr,
                                nullptr, nullptr, nullptr);
  if (window == nullptr) {
    Print({"no-display"});
    return 3;
  }
  Print({"ready"});
  SetTimer(nullptr, 0, ms, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == nullptr) break;
    DispatchMessageW(&message);
  }
  DestroyWindow(window);
  return 0;
}

// WHAT, then "1 0" after a call that worked or "0 ERROR" after one that failed.
BOOL Report(const char* what, BOOL ok) {
  const DWORD error = ok ? 0 : GetLastError();
  Print({what, ok ? "1" : "0", Number(static_cast<long>(error))});
  return ok;
}

// A Windows program's view of replacing a file in use: the rename and the copy that an
// updater, or a user in Explorer, would try.
int Swap(const std::wstring& setup, const wchar_t* other) {
  Report("move", MoveFileExW(setup.c_str(), (setup + L".old").c_str(), 0));
  Report("copy", CopyFileW(other, setup.c_str(), FALSE));
  return 0;
}

int Fill(const wchar_t* path, unsigned long long bytes) {
  HANDLE file =
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Report("open", FALSE);
    return 1;
  }
  static const std::vector<char> chunk(1 << 16);
  unsigned long long total = 0;
  DWORD error = 0;
  while (total < bytes) {
    const DWORD want =
        static_cast<DWORD>(std::min<unsigned long long>(chunk.size(), bytes - total));
    DWORD written = 0;
    if (!WriteFile(file, chunk.data(), want, &written, nullptr) || written == 0) {
      error = GetLastError();
      break;
    }
    total += written;
  }
  CloseHandle(file);
  Print({"wrote", std::to_string(total), Number(static_cast<long>(error))});
  return 0;
}

int Lock(const wchar_t* path, DWORD ms) {
  HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Report("open", FALSE);
    return 1;
  }
  Print({"locked"});
  Sleep(ms);
  CloseHandle(file);
  return 0;
}

// Waits (up to `ms`) until `file` exists, or with `gone` until it does not, then renames
// `folder` aside at once.
int MoveFolder(bool gone, const wchar_t* file, const std::wstring& folder, DWORD ms) {
  for (const ULONGLONG end = GetTickCount64() + ms;; Sleep(1)) {
    if ((GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES) == gone) break;
    if (GetTickCount64() >= end) {
      Print({"timeout"});
      return 1;
    }
  }
  Report("move", MoveFileExW(folder.c_str(), (folder + L".away").c_str(), 0));
  return 0;
}

// Another user at work on a batch file the setup runs elevated, as long as it is there.
int Tamper(const std::wstring& batch, const std::wstring& line, const wchar_t* done, DWORD ms) {
  for (const ULONGLONG end = GetTickCount64() + ms;
       GetFileAttributesW(batch.c_str()) == INVALID_FILE_ATTRIBUTES; Sleep(1)) {
    if (GetTickCount64() >= end) return 1;
  }
  std::string lines;
  for (int i = 0; i < 100; ++i) lines += Utf8(line) + "\r\n";  // cmd goes on at any offset
  const std::wstring planted = batch + L".planted";
  long worked = 0;
  // What works once the batch has written its last line, done, came after its run: the setup
  // lets go of the file once cmd.exe has ended, and deletes it itself.
  const auto before_done = [done](BOOL ok) {
    return ok && GetFileAttributesW(done) == INVALID_FILE_ATTRIBUTES ? 1 : 0;
  };
  while (GetFileAttributesW(batch.c_str()) != INVALID_FILE_ATTRIBUTES &&
         GetFileAttributesW(done) == INVALID_FILE_ATTRIBUTES) {
    HANDLE file = CreateFileW(batch.c_str(), GENERIC_WRITE, 7, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      worked += before_done(
          WriteFile(file, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr));
      CloseHandle(file);
    }
    HANDLE copy =
        CreateFileW(planted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(copy, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    CloseHandle(copy);
    worked +=
        before_done(ReplaceFileW(batch.c_str(), planted.c_str(), nullptr, 0, nullptr, nullptr));
    worked += before_done(DeleteFileW(batch.c_str()));
    Sleep(1);
  }
  DeleteFileW(planted.c_str());
  Print({"tampered", Number(worked)});
  return 0;
}

int PrintAcl(const wchar_t* path) {
  BYTE descriptor[4096];
  DWORD size = 0;
  LPWSTR text = nullptr;
  if (!GetFileSecurityW(path, DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor, &size) ||
      !ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return 1;
  }
  Print({Utf8(text)});
  LocalFree(text);
  return 0;
}

// A line a user types, quotes inside words and all, reaches the program unchanged.
int Exec(std::wstring line) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!Report("start", CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &process))) {
    return 255;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 255;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc >= 2 ? argv[1] : L"";
  const std::wstring arg = argc >= 3 ? argv[2] : L"";
  const DWORD ms = wcstoul(argv[argc - 1], nullptr, 10);  // where a mode ends in a time
  if (mode.rfind(L"record=", 0) == 0) return Record(mode.substr(7), argc - 2, argv + 2);
  if (mode == L"/c") {
    wchar_t path[MAX_PATH] = {};
    const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return Record(self.substr(0, self.rfind(L'\\') + 1) + L"planted.log", argc - 1, argv + 1);
  }
  if ((mode == L"rects" || mode == L"dump") && argc >= 3) {
    HWND window = mode == L"dump"
                      ? FindTopLevel(arg)
                      : Poll(argc >= 4 ? ms : 10000, [&] { return FindTopLevel(arg, true); });
    if (window == nullptr) {
      Print({"none"});
      return 1;
    }
    PrintWindow(window, mode == L"rects");
    return 0;
  }
  if (mode == L"watch" && argc == 4) return Watch(arg, ms);
  if (mode == L"dialog" && argc == 4) {
    HWND box = Poll(ms, [&] {
      const std::vector<DWORD> processes = ProcessesNamed(arg);
      for (HWND window : Windows()) {
        if (IsWindowVisible(window) && ClassOf(window) == L"#32770" &&
            OwnedByAny(window, processes)) {
          return window;
        }
      }
      return HWND{};
    });
    if (box == nullptr) return 1;
    Print({"title", Utf8(TextOf(box))});
    PrintWindow(box, true);
    return 0;
  }
  if (mode == L"post" && argc >= 4) return PostTrigger(arg, argv[3], argc >= 5 ? argv[4] : nullptr);
  if (mode == L"lnk" && argc == 3) return PrintShortcut(argv[2]);
  if (mode == L"version" && argc == 3) return PrintVersion(argv[2]);
  if (mode == L"hold" && argc == 3) return Hold(ms);
  if (mode == L"exec" && argc == 3) return Exec(arg);
  if (mode == L"swap" && argc == 4) return Swap(arg, argv[3]);
  if (mode == L"fill" && argc == 4) return Fill(argv[2], _wcstoui64(argv[3], nullptr, 10));
  if (mode == L"seen" && argc == 6) return Seen(argv[2], argv[3], argv[4], argv[5]);
  if (mode == L"lock" && argc == 4) return Lock(argv[2], ms);
  if (mode == L"movedir" && argc == 6) return MoveFolder(arg == L"gone", argv[3], argv[4], ms);
  if (mode == L"tamper" && argc == 6) return Tamper(arg, argv[3], argv[4], ms);
  if (mode == L"acl" && argc == 3) return PrintAcl(argv[2]);
  if (mode == L"sleep" && argc == 3) {
    Sleep(ms);
    return 0;
  }
  std::fputs("usage: win_probe MODE ... (the modes are listed atop win_probe.cpp)\n", stderr);
  return 2;
}
