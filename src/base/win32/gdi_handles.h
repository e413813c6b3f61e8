// Owners of the GDI objects and device contexts the toolkit and the installer
// borrow or create, so that every exit path gives them back.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

inline void DeleteBrush(HBRUSH brush) { DeleteObject(brush); }
inline void DeleteFont(HFONT font) { DeleteObject(font); }

using UniqueBrush = UniqueHandle<HBRUSH, DeleteBrush>;
using UniqueFont = UniqueHandle<HFONT, DeleteFont>;

// Selects `object` into `dc` and puts back what it replaced. A null object
// selects nothing (SelectObject would fail and return null anyway).
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
  ~SelectGuard() {
    if (previous_ != nullptr) SelectObject(dc_, previous_);
  }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A window's device context from GetDC, released when the owner ends.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDC() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;

  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};
