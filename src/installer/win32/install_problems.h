// What goes wrong with single files while the setup installs, and what the
// user is told of it: a file in use is asked about (Retry or Cancel) and,
// when given up, replaced at the next restart; every file left out is listed
// at the end. A silent install asks nothing and shows nothing: its exit code
// says it all.
#pragma once

#include <windows.h>

#include <string>

#include "installer/install_report.h"
#include "package/tree_walker.h"
#include "platform/tree_output.h"
#include "script/win32/script_actions.h"

// A message box while the install runs, from the window whose timer starts
// the install: that timer is stopped first and a quit request it made is
// dropped, since either would close the box before anyone read it.
int ShowInstallBox(HWND owner, const std::u16string& text, const std::u16string& caption,
                   UINT flags);

class InstallProblems final : public ReplaceHandler, public ExtractObserver {
 public:
  InstallProblems(HWND owner, const std::u16string& caption, bool silent, ActionLog* log)
      : owner_(owner), caption_(caption), silent_(silent), log_(log) {}

  bool RetryReplace(std::u16string_view relativePath, const char16_t* reason) override;
  void ReplacedAtRestart(std::u16string_view relativePath) override;
  void OnIssue(ExtractIssue issue, std::u16string_view parent, std::string_view name,
               bool isDirectory) override;
  void OnWritten(std::u16string_view path) override;

  // The list of the files left out or put off, when there are any.
  void ShowSummary() const;
  bool RestartNeeded() const { return atRestart_.count != 0; }

 private:
  HWND owner_;
  const std::u16string& caption_;
  bool silent_;
  ActionLog* log_;  // null without /LOG=
  FileList notWritten_;
  FileList atRestart_;
};
