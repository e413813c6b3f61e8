#include "app/win32/guard_owner.h"

// windows.h first: the security headers build on it.
#include <aclapi.h>

#include "base/win32/win_handles.h"

namespace {

// The owner this process gives what it creates: Administrators for an
// elevated administrator, the user otherwise.
bool IsOurDefaultOwner(PSID owner) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  const KernelHandle held(token);
  union {
    TOKEN_OWNER owner;
    BYTE bytes[sizeof(TOKEN_OWNER) + SECURITY_MAX_SID_SIZE];
  } ours;
  DWORD size = 0;
  return GetTokenInformation(token, TokenOwner, &ours, sizeof(ours), &size) &&
         EqualSid(owner, ours.owner.Owner);
}

}  // namespace

bool IsOwnedByUsOrAdministrators(HANDLE object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool trusted = owner == nullptr || IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                       IsWellKnownSid(owner, WinLocalSystemSid) || IsOurDefaultOwner(owner);
  LocalFree(descriptor);
  return trusted;
}
