#include "app/guard_state.h"
#include "app/instance_guard.h"
#include "app/instance_name.h"

namespace {

constexpr DWORD kLockWaitMs = 1000;

std::wstring AsWide(const std::u16string& text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

}  // namespace

int ProbeRunningInstance(const wchar_t* modulePath) {
  GuardState& guard = Guard();
  std::u16string name = modulePath[0] != L'\0'
                            ? InstanceName(reinterpret_cast<const char16_t*>(modulePath))
                            : std::u16string(kUnknownPathInstanceName);
  guard.eventName = AsWide(name);
  guard.blockName = AsWide(InstanceBlockName(name));

  KernelHandle event(OpenEventW(EVENT_ALL_ACCESS, FALSE, guard.eventName.c_str()));
  if (!event) return 0;
  if (WaitForSingleObject(event.Get(), kLockWaitMs) != WAIT_OBJECT_0) return -1;
  SetEvent(event.Get());
  // Held until the process ends, as the running instance expects of a probe.
  guard.event = std::move(event);
  return 1;
}
