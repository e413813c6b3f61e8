// The extraction's progress as window messages: each report is sent (not
// posted) to the setup window, and after the percentage the window's pending
// messages are handled so that it repaints during a long extraction.
#pragma once

#include <windows.h>

#include "installer/setup_messages.h"
#include "package/extract_progress.h"

class ProgressWindow final : public ExtractProgress {
 public:
  explicit ProgressWindow(HWND window, UINT message = WM_SETUP_PROGRESS)
      : window_(window), message_(message) {}

  void OnFileName(const char16_t* name) override;
  void OnPercent(int percent) override;

 private:
  HWND window_;
  UINT message_;
};
