#include "app/app_base.h"
#include "app/app_globals.h"
#include "app/guard_state.h"
#include "app/instance_guard.h"

namespace {
constexpr DWORD kLockWaitMs = 1000;
}  // namespace

LRESULT CALLBACK ChannelWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_CHANNEL_COMMAND) return DefWindowProcW(window, message, wParam, lParam);
  GuardState& guard = Guard();
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
