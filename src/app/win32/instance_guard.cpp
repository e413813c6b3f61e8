#include "app/win32/instance_guard.h"

#include <string>

#include "app/single_instance.h"
#include "app/win32/app_base.h"
#include "app/win32/guard_owner.h"
#include "base/win32/win_handles.h"

namespace {

constexpr DWORD kLockWaitMs = 1000;

// What the guard keeps between its calls.
struct GuardState {
  std::wstring eventName;
  std::wstring blockName;
  KernelHandle event;
  KernelHandle mapping;
  MappedView view;
  HWND window = nullptr;
  // The event's name is held by another user's object: this instance runs
  // without the channel, deaf to second starts.
  bool squatted = false;

  ChannelBlock* block() const { return static_cast<ChannelBlock*>(view.Get()); }
};

// A plain global, not a function-local static: the stub is single-threaded
// and a guarded static would link the threading runtime.
GuardState guard;

// The module that holds the guard's code: its window class is registered there.
HMODULE GuardModule() {
  static const char anchor = 0;
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&anchor), &module);
  return module;
}

// The channel window's class name for the current instance name.
std::wstring ChannelClassName() {
  return L"__KESTRAVO_GENERAL_MESSAGE_WINDOW_NAME__" + guard.eventName;
}

// Handles in the block are 32 bits wide, also for a 64-bit build (Windows
// keeps window handles within 32 significant bits, sign-extended).
uint32_t HandleToBlock(HWND window) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
}
HWND HandleFromBlock(uint32_t value) {
  return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(value)));
}

std::wstring AsWide(const std::u16string& text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

// Lets the objects be created in the global namespace when a caller asks
// for it; failures only mean that the local namespace is used.
void EnableCreateGlobalPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return;
  }
  KernelHandle owner(token);
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (LookupPrivilegeValueW(nullptr, L"SeCreateGlobalPrivilege", &privileges.Privileges[0].Luid)) {
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
}

// The setup runs elevated; a null DACL lets a second start of any user
// (an unelevated double-click) open the objects. Not inherited: the programs
// the setup starts have no use for them, and a handle they held would keep
// the marker of a running instance alive after the setup ended.
struct OpenSecurity {
  SECURITY_DESCRIPTOR descriptor{};
  SECURITY_ATTRIBUTES attributes{};

  OpenSecurity() {
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;
  }
};

LRESULT CALLBACK ChannelWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_CHANNEL_COMMAND) return DefWindowProcW(window, message, wParam, lParam);
  ChannelBlock* block = guard.block();
  if (!guard.event || block == nullptr) return 0;

  if (WaitForSingleObject(guard.event.Get(), kLockWaitMs) != WAIT_OBJECT_0) {
    // A probing second start holds the lock: the text waits for a later try.
    PostMessageW(HandleFromBlock(block->window), block->message, 0, 0);
    return 0;
  }
  if (const char* text = TakeChannelText(block)) {
    if (g_app != nullptr) g_app->OnForwardedCommand(text);
    ReleaseChannelText(block);
  }
  SetEvent(guard.event.Get());
  return 0;
}

HWND CreateChannelWindow() {
  HMODULE module = GuardModule();
  std::wstring className = ChannelClassName();
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ChannelWindowProc;
  windowClass.hInstance = module;
  windowClass.lpszClassName = className.c_str();
  RegisterClassW(&windowClass);  // already registered is as good
  return CreateWindowExW(0, className.c_str(), guard.eventName.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE,
                         nullptr, module, nullptr);
}

}  // namespace

int ProbeRunningInstance(const wchar_t* modulePath) {
  std::u16string name = modulePath[0] != L'\0'
                            ? InstanceName(reinterpret_cast<const char16_t*>(modulePath))
                            : std::u16string(kUnknownPathInstanceName);
  guard.eventName = AsWide(name);
  guard.blockName = AsWide(InstanceBlockName(name));

  KernelHandle event(OpenEventW(EVENT_ALL_ACCESS, FALSE, guard.eventName.c_str()));
  if (!event) return 0;
  // Not a running setup's: whoever made it can hold it, and would make
  // every start of this file end at once.
  if (!IsOwnedByUsOrAdministrators(event.Get())) {
    guard.squatted = true;
    return 0;
  }
  if (WaitForSingleObject(event.Get(), kLockWaitMs) != WAIT_OBJECT_0) return -1;
  SetEvent(event.Get());
  // Held until the process ends, as the running instance expects of a probe.
  guard.event = std::move(event);
  return 1;
}

int OpenCommandChannel() {
  EnableCreateGlobalPrivilege();
  OpenSecurity security;

  // Another kind of object under the name, or another user's event made since
  // the probe, is no running setup either: the instance runs deaf.
  if (!guard.squatted) {
    guard.event.Reset(CreateEventW(&security.attributes, FALSE, TRUE, guard.eventName.c_str()));
  }
  if (!guard.event || !IsOwnedByUsOrAdministrators(guard.event.Get())) {
    guard.event.Reset();
    return 0;
  }

  guard.mapping.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, &security.attributes, PAGE_READWRITE,
                                         0, sizeof(ChannelBlock), guard.blockName.c_str()));
  if (guard.mapping && IsOwnedByUsOrAdministrators(guard.mapping.Get())) {
    guard.view.Reset(MapViewOfFile(guard.mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  }
  guard.window = CreateChannelWindow();
  // Without a block the instance still runs; second starts find no block
  // (or an unmapped one) and their texts are dropped.
  if (ChannelBlock* block = guard.block()) {
    block->window = HandleToBlock(guard.window);
    block->message = WM_CHANNEL_COMMAND;
    block->length = 0;
  }
  return 0;
}

void CloseCommandChannel() {
  if (!guard.event) return;
  guard.view.Reset();
  guard.mapping.Reset();
  guard.event.Reset();
  if (guard.window != nullptr) DestroyWindow(guard.window);
  guard.window = nullptr;
  UnregisterClassW(ChannelClassName().c_str(), GuardModule());
}

void ForwardCommand(const char* text) {
  KernelHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          sizeof(ChannelBlock), guard.blockName.c_str()));
  // A new mapping belongs to no running instance (it never made one).
  if (!mapping || GetLastError() != ERROR_ALREADY_EXISTS) return;
  MappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  auto* block = static_cast<ChannelBlock*>(view.Get());
  if (block == nullptr) return;
  // The lock is not taken: the receiver only reads after the message that
  // follows the write.
  if (PutChannelText(block, text)) {
    PostMessageW(HandleFromBlock(block->window), block->message, 0, 0);
  }
}
