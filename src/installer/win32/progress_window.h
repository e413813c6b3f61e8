// The extraction's progress as window messages: each report is sent (not
// posted) to the setup window, and after the percentage the window's pending
// messages are handled so that it repaints during a long extraction.
#pragma once

#include <windows.h>

#include "installer/win32/setup_messages.h"
#include "package/extract_progress.h"

class ProgressWindow final : public ExtractProgress {
 public:
  // With an interval, a file's name and percentage are reported (and the
  // window pumped) only when at least that many milliseconds have passed
  // since the last report; the first file is always reported. Thousands of
  // small files would otherwise spend more time redrawing the label than
  // writing themselves, for names nobody could read.
  explicit ProgressWindow(HWND window, UINT message = WM_SETUP_PROGRESS, DWORD intervalMs = 0)
      : window_(window), message_(message), intervalMs_(intervalMs) {}

  void OnFileName(const char16_t* name) override;
  void OnPercent(int percent) override;
  void OnWaiting() override;

 private:
  HWND window_;
  UINT message_;
  DWORD intervalMs_;
  DWORD lastReportMs_ = 0;
  bool reported_ = false;   // any file yet
  bool reporting_ = false;  // the current file
};
