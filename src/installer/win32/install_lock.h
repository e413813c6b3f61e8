// One installation or removal of a product at a time: two setups of one
// product, or a setup and its uninstaller, would otherwise write the same
// files and the same entry, and the last writer would win. A named mutex,
// derived from the product's Id, that every setup and uninstaller of it holds
// while it changes anything. A per-machine product's lies in the Global
// namespace, which only administrators may create in, and only
// administrators and SYSTEM may open: an unelevated process cannot hold it.
#pragma once

#include <windows.h>

#include <string>

#include "base/win32/win_handles.h"
#include "script/product_section.h"

class InstallLock {
 public:
  // Takes the lock of `product` (a usable one). While another setup or
  // uninstaller of it holds the lock this one waits: silently at most
  // `silentWaitMs`, otherwise with a box over `owner` that says what it waits
  // for, whose Cancel gives up. False when it gave up. A lock that cannot be
  // made at all does not stop the run.
  bool Take(const Product& product, HWND owner, const std::u16string& caption, bool silent,
            DWORD silentWaitMs);

 private:
  KernelHandle mutex_;  // held, once taken, until the process ends
};
