#include "app/guard_state.h"

namespace {

// A plain global, not a function-local static: the stub is single-threaded
// and a guarded static would link the threading runtime.
GuardState guardState;

}  // namespace

GuardState& Guard() { return guardState; }

HMODULE GuardModule() {
  static const char anchor = 0;
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&anchor), &module);
  return module;
}

std::wstring ChannelClassName() {
  return L"__KESTRAVO_GENERAL_MESSAGE_WINDOW_NAME__" + Guard().eventName;
}
