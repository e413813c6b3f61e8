#include "app/guard_state.h"
#include "app/instance_guard.h"

namespace {

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
// (an unelevated double-click) open the objects.
struct OpenSecurity {
  SECURITY_DESCRIPTOR descriptor{};
  SECURITY_ATTRIBUTES attributes{};

  OpenSecurity() {
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = TRUE;
  }
};

HWND CreateChannelWindow() {
  HMODULE module = GuardModule();
  std::wstring className = ChannelClassName();
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ChannelWindowProc;
  windowClass.hInstance = module;
  windowClass.lpszClassName = className.c_str();
  RegisterClassW(&windowClass);  // already registered is as good
  return CreateWindowExW(0, className.c_str(), Guard().eventName.c_str(), 0, 0, 0, 0, 0,
                         HWND_MESSAGE, nullptr, module, nullptr);
}

}  // namespace

int OpenCommandChannel() {
  GuardState& guard = Guard();
  EnableCreateGlobalPrivilege();
  OpenSecurity security;

  guard.event.Reset(CreateEventW(&security.attributes, FALSE, TRUE, guard.eventName.c_str()));
  if (!guard.event) return -1;

  guard.mapping.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, &security.attributes, PAGE_READWRITE,
                                         0, sizeof(ChannelBlock), guard.blockName.c_str()));
  if (guard.mapping) {
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
  GuardState& guard = Guard();
  if (!guard.event) return;
  guard.view.Reset();
  guard.mapping.Reset();
  guard.event.Reset();
  if (guard.window != nullptr) DestroyWindow(guard.window);
  guard.window = nullptr;
  UnregisterClassW(ChannelClassName().c_str(), GuardModule());
}
