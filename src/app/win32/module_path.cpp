#include "app/win32/module_path.h"

namespace {
// Any static of the program names its module, also from a DLL build.
const char kModuleAnchor = 0;
}  // namespace

int GetModulePath(wchar_t* path) {
  path[0] = L'\0';
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&kModuleAnchor), &module)) {
    return 0;
  }
  DWORD length = GetModuleFileNameW(module, path, kModulePathUnits);
  // A cut path ends the buffer without its terminator on older systems.
  if (length == 0 || length >= kModulePathUnits) {
    path[0] = L'\0';
    return 0;
  }
  // The same file started through its 8.3 name must find itself.
  GetLongPathNameW(path, path, kModulePathUnits);
  return 1;
}
