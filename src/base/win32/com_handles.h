// COM on the stub's UI thread: a guard around CoInitialize and owners of
// interface pointers.
#pragma once

#include <objbase.h>

#include "base/unique_handle.h"

// COM for one piece of work on this thread. CoInitialize's S_FALSE (already
// initialised here) still needs its CoUninitialize; a failure does not.
class ComScope {
 public:
  ComScope() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComScope() {
    if (initialised_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool initialised_;
};

template <typename T>
void ReleaseInterface(T* object) {
  object->Release();
}

// Releases its interface exactly once. Locals go in reverse order of
// declaration, so declare a ComScope before the pointers it serves.
template <typename T>
using ComPtr = UniqueHandle<T*, ReleaseInterface<T>>;
