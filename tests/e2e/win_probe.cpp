// The end-to-end tests' eyes and hands inside Wine. One console program with
// a mode per job; every line it prints is UTF-8 with tab-separated fields so
// that the shell tests can cut them apart.
//
//   win_probe rects TITLE [WAIT_MS]   the first visible top-level window
//                                     titled TITLE (waited for): its outer
//                                     rectangle, client size, the system
//                                     metrics its layout uses, and every
//                                     child's class, state, rectangle and text
//   win_probe dump TITLE              the same for the window in whatever
//                                     state it is, without sending it a
//                                     message (safe while the setup is busy)
//   win_probe state TITLE             visible | hidden | none
//   win_probe watch EXE_NAME MS       until no process of that image name is
//                                     left (or MS ms): prints each visible
//                                     top-level window one of them showed
//   win_probe dialog EXE_NAME WAIT_MS the first visible dialog box (a message
//                                     box) of a process of that image name,
//                                     waited for: "title TEXT", then as rects
//   win_probe post TITLE timer        WM_TIMER (id 100) to that window
//   win_probe post TITLE close        what its close box sends
//   win_probe post TITLE click TEXT   BN_CLICKED of its button captioned TEXT
//   win_probe lnk FILE                a shortcut's target, working directory
//                                     and description
//   win_probe sleep MS                waits (a batch section that takes time)
//   win_probe hold MS                 keeps a hidden window on Wine's desktop
//                                     for MS ms (Wine closes the desktop a few
//                                     seconds after its last user and takes
//                                     long to start it again); prints "ready",
//                                     or exits 3 when the desktop has no
//                                     display (no window can be made on it)
//   win_probe record=FILE [ARGS...]   appends "run", the arguments and the
//                                     working directory to FILE (one token,
//                                     for a [run] line that passes one piece)
//   cmd.exe /c ...                    a copy planted as cmd.exe: the same
//                                     into planted.log beside itself
#include <windows.h>
// windows.h first: the headers below build on it.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kDefaultWaitMs = 10000;
constexpr DWORD kPollMs = 10;
constexpr UINT kAskTimeoutMs = 500;
constexpr UINT_PTR kInstallTimerId = 100;

std::string Utf8(const wchar_t* text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), length, nullptr, nullptr);
  out.pop_back();  // the NUL
  return out;
}

void PrintLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
}

// The text the system keeps for a window; no message reaches its owner.
std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

// A control's own text, asked of its owner (an edit control keeps its text
// to itself); the kept text when the owner does not answer in time.
std::wstring AskedText(HWND window) {
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  if (SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, kAskTimeoutMs, &copied) != 0) {
    return text;
  }
  return WindowText(window);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

struct TitleSearch {
  const wchar_t* title;
  bool visibleOnly;
  HWND found;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<TitleSearch*>(parameter);
  if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
  if (WindowText(window) != search->title) return TRUE;
  search->found = window;
  return FALSE;
}

// The first top-level window titled exactly `title`; a visible one is
// preferred, since a setup keeps hidden windows of the same title around.
HWND FindTopLevel(const wchar_t* title) {
  TitleSearch search{title, true, nullptr};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  if (search.found != nullptr) return search.found;
  search.visibleOnly = false;
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForVisible(const wchar_t* title, DWORD waitMs) {
  const ULONGLONG end = GetTickCount64() + waitMs;
  for (;;) {
    HWND window = FindTopLevel(title);
    if (window != nullptr && IsWindowVisible(window)) return window;
    if (GetTickCount64() >= end) return nullptr;
    Sleep(kPollMs);
  }
}

std::string Fields(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& field : fields) {
    if (!line.empty()) line += '\t';
    line += field;
  }
  return line;
}

std::string Number(long value) { return std::to_string(value); }

struct ChildList {
  HWND parent;
  std::vector<HWND> children;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter) {
  auto* list = reinterpret_cast<ChildList*>(parameter);
  if (GetParent(window) == list->parent) list->children.push_back(window);
  return TRUE;
}

std::vector<HWND> DirectChildren(HWND parent) {
  ChildList list{parent, {}};
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&list));
  return list.children;
}

void PrintChild(HWND parent, HWND child, bool ask) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  PrintLine(Fields({"child", Utf8(ClassOf(child).c_str()), IsWindowVisible(child) ? "1" : "0",
                    IsWindowEnabled(child) ? "1" : "0", Number(rect.left), Number(rect.top),
                    Number(rect.right - rect.left), Number(rect.bottom - rect.top),
                    Utf8((ask ? AskedText(child) : WindowText(child)).c_str())}));
}

// window  VISIBLE  X  Y  W  H            (screen coordinates)
// client  X  Y  W  H                     (its origin on the screen)
// metrics CYCAPTION  CXSCREEN  CYSCREEN
// child   CLASS  VISIBLE  ENABLED  X  Y  W  H  TEXT    (client coordinates)
void PrintWindow(HWND window, bool ask) {
  RECT outer;
  RECT client;
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  PrintLine(
      Fields({"window", IsWindowVisible(window) ? "1" : "0", Number(outer.left), Number(outer.top),
              Number(outer.right - outer.left), Number(outer.bottom - outer.top)}));
  PrintLine(Fields(
      {"client", Number(origin.x), Number(origin.y), Number(client.right), Number(client.bottom)}));
  PrintLine(Fields({"metrics", Number(GetSystemMetrics(SM_CYCAPTION)),
                    Number(GetSystemMetrics(SM_CXSCREEN)), Number(GetSystemMetrics(SM_CYSCREEN))}));
  for (HWND child : DirectChildren(window)) PrintChild(window, child, ask);
}

int PrintRects(const wchar_t* title, DWORD waitMs) {
  HWND window = WaitForVisible(title, waitMs);
  if (window == nullptr) {
    std::fprintf(stderr, "win_probe: no visible window titled \"%s\"\n", Utf8(title).c_str());
    return 1;
  }
  PrintWindow(window, true);
  return 0;
}

int PrintDump(const wchar_t* title) {
  HWND window = FindTopLevel(title);
  if (window == nullptr) {
    PrintLine("none");
    return 1;
  }
  PrintWindow(window, false);
  return 0;
}

int PrintState(const wchar_t* title) {
  HWND window = FindTopLevel(title);
  PrintLine(window == nullptr ? "none" : IsWindowVisible(window) ? "visible" : "hidden");
  return 0;
}

bool EndsWithNoCase(const std::wstring& text, const wchar_t* tail) {
  const size_t length = wcslen(tail);
  return text.size() >= length && _wcsicmp(text.c_str() + text.size() - length, tail) == 0;
}

std::vector<DWORD> ProcessesNamed(const wchar_t* exeName) {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (EndsWithNoCase(entry.szExeFile, exeName)) ids.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return ids;
}

struct VisibleSearch {
  const std::vector<DWORD>* processes;
  std::vector<std::wstring>* seen;
};

BOOL CALLBACK NoteVisible(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<VisibleSearch*>(parameter);
  if (!IsWindowVisible(window)) return TRUE;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  for (DWORD id : *search->processes) {
    if (id != process) continue;
    std::wstring description = ClassOf(window) + L"\t" + WindowText(window);
    for (const std::wstring& known : *search->seen) {
      if (known == description) return TRUE;
    }
    search->seen->push_back(description);
    PrintLine(Fields({"visible", Utf8(description.c_str())}));
    std::fflush(stdout);
  }
  return TRUE;
}

// Polls until the processes of that name have come and gone, or the time is
// up; prints "gone" or "timeout" last.
int WatchProcesses(const wchar_t* exeName, DWORD waitMs) {
  const ULONGLONG end = GetTickCount64() + waitMs;
  std::vector<std::wstring> seen;
  bool appeared = false;
  for (;;) {
    const std::vector<DWORD> processes = ProcessesNamed(exeName);
    if (!processes.empty()) appeared = true;
    if (appeared && processes.empty()) {
      PrintLine("gone");
      return 0;
    }
    VisibleSearch search{&processes, &seen};
    EnumWindows(NoteVisible, reinterpret_cast<LPARAM>(&search));
    if (GetTickCount64() >= end) {
      PrintLine(appeared ? "timeout" : "never-started");
      return 0;
    }
    Sleep(kPollMs);
  }
}

struct DialogSearch {
  const std::vector<DWORD>* processes;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<DialogSearch*>(parameter);
  if (!IsWindowVisible(window) || ClassOf(window) != L"#32770") return TRUE;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  for (DWORD id : *search->processes) {
    if (id == process) {
      search->found = window;
      return FALSE;
    }
  }
  return TRUE;
}

int PrintDialog(const wchar_t* exeName, DWORD waitMs) {
  const ULONGLONG end = GetTickCount64() + waitMs;
  for (;;) {
    const std::vector<DWORD> processes = ProcessesNamed(exeName);
    DialogSearch search{&processes, nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      PrintLine(Fields({"title", Utf8(WindowText(search.found).c_str())}));
      PrintWindow(search.found, true);
      return 0;
    }
    if (GetTickCount64() >= end) {
      std::fprintf(stderr, "win_probe: no dialog box of %s\n", Utf8(exeName).c_str());
      return 1;
    }
    Sleep(kPollMs);
  }
}

struct ButtonSearch {
  const wchar_t* caption;
  HWND found;
};

BOOL CALLBACK MatchButton(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<ButtonSearch*>(parameter);
  if (_wcsicmp(ClassOf(window).c_str(), L"Button") != 0) return TRUE;
  if (WindowText(window) != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

int PostTrigger(const wchar_t* title, const wchar_t* kind, const wchar_t* caption) {
  HWND window = FindTopLevel(title);
  if (window == nullptr) {
    std::fprintf(stderr, "win_probe: no window titled \"%s\"\n", Utf8(title).c_str());
    return 1;
  }
  if (wcscmp(kind, L"timer") == 0) {
    return PostMessageW(window, WM_TIMER, kInstallTimerId, 0) ? 0 : 1;
  }
  if (wcscmp(kind, L"close") == 0) {
    return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
  }
  if (wcscmp(kind, L"click") != 0 || caption == nullptr) return 2;
  ButtonSearch search{caption, nullptr};
  EnumChildWindows(window, MatchButton, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    std::fprintf(stderr, "win_probe: no button \"%s\"\n", Utf8(caption).c_str());
    return 1;
  }
  const WPARAM command = MAKEWPARAM(GetDlgCtrlID(search.found), BN_CLICKED);
  return PostMessageW(window, WM_COMMAND, command, reinterpret_cast<LPARAM>(search.found)) ? 0 : 1;
}

int PrintShortcut(const wchar_t* path) {
  if (FAILED(CoInitialize(nullptr))) return 1;
  int result = 1;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(path, STGM_READ))) {
    wchar_t text[MAX_PATH * 2] = {};
    link->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
    PrintLine("target=" + Utf8(text));
    text[0] = L'\0';
    link->GetWorkingDirectory(text, MAX_PATH * 2);
    PrintLine("workdir=" + Utf8(text));
    text[0] = L'\0';
    link->GetDescription(text, MAX_PATH * 2);
    PrintLine("description=" + Utf8(text));
    result = 0;
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  CoUninitialize();
  return result;
}

// Appends whole lines with one write, so that concurrent starts do not mix.
int Record(const wchar_t* path, int argc, wchar_t** argv) {
  std::string line = "run";
  for (int i = 0; i < argc; ++i) line += " " + Utf8(argv[i]);
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  line += " cwd=" + Utf8(directory) + "\r\n";
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return ok ? 0 : 1;
}

// A copy planted as cmd.exe, started to run a batch: leaves its trace in
// planted.log beside itself.
int RecordPlanted(int argc, wchar_t** argv) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring log(path, length);
  log.replace(log.rfind(L'\\') + 1, std::wstring::npos, L"planted.log");
  return Record(log.c_str(), argc, argv);
}

// Answers its messages meanwhile: a window that does not would stall every
// program that broadcasts a message to all windows.
int Hold(DWORD ms) {
  HWND window = CreateWindowExW(0, L"STATIC", L"win_probe hold", WS_POPUP, 0, 0, 1, 1, nullptr,
                                nullptr, nullptr, nullptr);
  if (window == nullptr) {
    PrintLine("no-display");
    return 3;
  }
  PrintLine("ready");
  std::fflush(stdout);
  SetTimer(nullptr, 0, ms, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == nullptr) break;
    DispatchMessageW(&message);
  }
  DestroyWindow(window);
  return 0;
}

DWORD Milliseconds(const wchar_t* text) { return static_cast<DWORD>(wcstoul(text, nullptr, 10)); }

int Usage() {
  std::fputs(
      "usage: win_probe rects TITLE [WAIT_MS] | dump TITLE | state TITLE |\n"
      "       dialog EXE_NAME MS | watch EXE_NAME MS | post TITLE timer|close |\n"
      "       post TITLE click TEXT | lnk FILE | sleep MS | hold MS | record=FILE [ARGS...]\n",
      stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring mode = argv[1];
  if (mode.rfind(L"record=", 0) == 0) return Record(argv[1] + 7, argc - 2, argv + 2);
  if (mode == L"/c") return RecordPlanted(argc - 1, argv + 1);
  if (mode == L"rects" && argc >= 3) {
    return PrintRects(argv[2], argc >= 4 ? Milliseconds(argv[3]) : kDefaultWaitMs);
  }
  if (mode == L"dump" && argc == 3) return PrintDump(argv[2]);
  if (mode == L"state" && argc == 3) return PrintState(argv[2]);
  if (mode == L"watch" && argc == 4) return WatchProcesses(argv[2], Milliseconds(argv[3]));
  if (mode == L"dialog" && argc == 4) return PrintDialog(argv[2], Milliseconds(argv[3]));
  if (mode == L"post" && argc >= 4)
    return PostTrigger(argv[2], argv[3], argc >= 5 ? argv[4] : nullptr);
  if (mode == L"lnk" && argc == 3) return PrintShortcut(argv[2]);
  if (mode == L"sleep" && argc == 3) {
    Sleep(Milliseconds(argv[2]));
    return 0;
  }
  if (mode == L"hold" && argc == 3) return Hold(Milliseconds(argv[2]));
  return Usage();
}
