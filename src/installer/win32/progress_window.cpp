#include "installer/win32/progress_window.h"

#include "app/win32/message_pump.h"

void ProgressWindow::OnFileName(const char16_t* name) {
  const DWORD now = intervalMs_ == 0 ? 0 : GetTickCount();
  // Unsigned subtraction stays right across the tick count's wrap.
  reporting_ = !reported_ || now - lastReportMs_ >= intervalMs_;
  if (!reporting_) return;
  reported_ = true;
  lastReportMs_ = now;
  // SendMessageW returns after the window handled it: the name stays valid.
  SendMessageW(window_, message_, PROGRESS_FILE_NAME, reinterpret_cast<LPARAM>(name));
}

void ProgressWindow::OnPercent(int percent) {
  if (!reporting_) return;
  SendMessageW(window_, message_, PROGRESS_PERCENT, static_cast<LPARAM>(percent));
  PumpWindowMessages(window_);
}

void ProgressWindow::OnWaiting() { PumpWindowMessages(window_); }
