#include "installer/win32/install_problems.h"

#include "base/utf8.h"
#include "installer/win32/setup_app.h"
#include "platform/win32/wide_text.h"

int ShowInstallBox(HWND owner, const std::u16string& text, const std::u16string& caption,
                   UINT flags) {
  KillTimer(owner, INSTALL_TIMER_ID);
  MSG quit;
  PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  return MessageBoxW(owner, AsWide(text), AsWide(caption), flags);
}

bool InstallProblems::RetryReplace(std::u16string_view relativePath, const char16_t* reason) {
  if (silent_) return false;
  return ShowInstallBox(owner_, RetryText(relativePath, reason), caption_,
                        MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
}

void InstallProblems::ReplacedAtRestart(std::u16string_view relativePath) {
  atRestart_.Add(relativePath);
  if (log_ != nullptr)
    log_->Note(Concat({u"file ", relativePath, u": in use, replaced at the next restart"}));
}

void InstallProblems::OnWritten(std::u16string_view path) {
  if (log_ != nullptr) log_->Note(Concat({u"file ", path}));
}

void InstallProblems::OnIssue(ExtractIssue issue, std::u16string_view parent, std::string_view name,
                              bool) {
  std::u16string path(parent);
  if (!path.empty() && !name.empty()) path.push_back(u'\\');
  path += name.empty() ? u"(the rest of the package's files)" : Utf8ToWide(name);
  notWritten_.Add(path);
  if (log_ != nullptr)
    log_->Note(Concat({u"file ", path, u": ", Utf8ToWide(DescribeExtractIssue(issue))}));
}

void InstallProblems::ShowSummary() const {
  if (silent_) return;
  const std::u16string text = SummaryText(notWritten_, atRestart_);
  if (!text.empty()) ShowInstallBox(owner_, text, caption_, MB_OK | MB_ICONWARNING);
}
