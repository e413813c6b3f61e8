#include "installer/progress_window_win32.h"

#include "app/message_pump.h"

void ProgressWindow::OnFileName(const char16_t* name) {
  // SendMessageW returns after the window handled it: the name stays valid.
  SendMessageW(window_, message_, PROGRESS_FILE_NAME, reinterpret_cast<LPARAM>(name));
}

void ProgressWindow::OnPercent(int percent) {
  SendMessageW(window_, message_, PROGRESS_PERCENT, static_cast<LPARAM>(percent));
  PumpWindowMessages(window_);
}
