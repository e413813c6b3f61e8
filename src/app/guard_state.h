// What the guard keeps between its calls; private to the guard's files.
#pragma once

#include <windows.h>

#include <string>

#include "app/channel_block.h"
#include "base/win32/win_handles.h"

struct GuardState {
  std::wstring eventName;
  std::wstring blockName;
  KernelHandle event;
  KernelHandle mapping;
  MappedView view;
  HWND window = nullptr;

  ChannelBlock* block() const { return static_cast<ChannelBlock*>(view.Get()); }
};

GuardState& Guard();

// The module that holds the guard's code: its window class is registered there.
HMODULE GuardModule();

// The channel window's class name for the current instance name.
std::wstring ChannelClassName();

// Handles in the block are 32 bits wide, also for a 64-bit build (Windows
// keeps window handles within 32 significant bits, sign-extended).
inline uint32_t HandleToBlock(HWND window) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
}
inline HWND HandleFromBlock(uint32_t value) {
  return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(value)));
}
