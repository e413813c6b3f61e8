#include "installer/win32/install_lock.h"

// windows.h first: the descriptor language's header builds on it.
#include <sddl.h>

#include "base/utf8.h"
#include "platform/win32/wide_text.h"

namespace {

// How often the box looks whether the other run has ended.
constexpr UINT kPollMs = 250;
constexpr wchar_t kMachineLockDacl[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

bool TryTake(HANDLE mutex, DWORD waitMs) {
  const DWORD result = WaitForSingleObject(mutex, waitMs);
  // An abandoned lock is ours: its holder ended without giving it back.
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

// What the box's timer works on; the stub has one thread and one box at a time.
struct BoxWait {
  HANDLE mutex = nullptr;
  bool taken = false;
};
BoxWait boxWait;

BOOL CALLBACK EndWaitBox(HWND window, LPARAM) {
  wchar_t name[8];
  if (GetClassNameW(window, name, 8) == 0 || lstrcmpW(name, L"#32770") != 0) return TRUE;
  EndDialog(window, IDRETRY);
  return FALSE;
}

void CALLBACK CheckLock(HWND, UINT, UINT_PTR, DWORD) {
  if (boxWait.taken || !TryTake(boxWait.mutex, 0)) return;
  boxWait.taken = true;
  EnumThreadWindows(GetCurrentThreadId(), EndWaitBox, 0);
}

bool WaitWithBox(HANDLE mutex, HWND owner, const std::u16string& text,
                 const std::u16string& caption) {
  boxWait = BoxWait{mutex, false};
  const UINT_PTR timer = SetTimer(nullptr, 0, kPollMs, CheckLock);
  while (!boxWait.taken) {
    const int answer =
        MessageBoxW(owner, AsWide(text), AsWide(caption), MB_RETRYCANCEL | MB_ICONINFORMATION);
    if (!boxWait.taken && answer != IDRETRY) break;
    if (!boxWait.taken) boxWait.taken = TryTake(mutex, 0);
  }
  KillTimer(nullptr, timer);
  return boxWait.taken;
}

}  // namespace

bool InstallLock::Take(const Product& product, HWND owner, const std::u16string& caption,
                       bool silent, DWORD silentWaitMs) {
  const bool perUser = product.PerUser();
  const std::u16string name =
      Concat({perUser ? u"Local\\" : u"Global\\", u"SetupProduct_", Utf8ToWide(product.id)});
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!perUser) {
    ConvertStringSecurityDescriptorToSecurityDescriptorW(kMachineLockDacl, SDDL_REVISION_1,
                                                         &descriptor, nullptr);
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  mutex_.Reset(CreateMutexW(descriptor != nullptr ? &attributes : nullptr, FALSE, AsWide(name)));
  if (descriptor != nullptr) LocalFree(descriptor);
  if (!mutex_ || TryTake(mutex_.Get(), 0)) return true;
  if (silent) return TryTake(mutex_.Get(), silentWaitMs);
  const std::u16string shown = Utf8ToWide(product.name.empty() ? product.id : product.name);
  return WaitWithBox(mutex_.Get(), owner,
                     Concat({u"Another installation or removal of ", shown,
                             u" is in progress. This one goes on by itself once it has ended; "
                             u"Cancel ends it."}),
                     caption);
}
