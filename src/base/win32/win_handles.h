// Owners of kernel objects (handles and mapped views) and registry keys.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void UnmapView(void* view) { UnmapViewOfFile(view); }

// Handles whose failure value is null (events, file mappings, tokens).
using KernelHandle = UniqueHandle<HANDLE, CloseKernelHandle>;
using MappedView = UniqueHandle<void*, UnmapView>;

inline void CloseRegistryKey(HKEY key) { RegCloseKey(key); }
using RegistryKey = UniqueHandle<HKEY, CloseRegistryKey>;
