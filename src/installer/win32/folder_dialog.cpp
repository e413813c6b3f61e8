// The folder dialog behind the setup window's "..." button.
#include <windows.h>
// windows.h first: the shell header builds on it.
#include <shlobj.h>

#include "base/win32/com_handles.h"
#include "installer/win32/setup_app.h"
#include "platform/win32/wide_text.h"

namespace {

constexpr wchar_t kBrowseTitle[] = L"Select Target Directory";
constexpr UINT kBrowseFlags = BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
constexpr size_t kFolderUnits = 512;

}  // namespace

// True when a folder was chosen; `folder` is left alone otherwise.
bool BrowseForFolder(HWND owner, std::u16string* folder, const wchar_t* title) {
  const ComScope com;
  wchar_t buffer[kFolderUnits] = {};
  BROWSEINFOW info = {};
  // Owned by the setup window, so that the window cannot start an install or
  // a second dialog while this one is open.
  info.hwndOwner = owner;
  info.pszDisplayName = buffer;
  info.lpszTitle = title;
  info.ulFlags = kBrowseFlags;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (chosen == nullptr) return false;
  // A place without a file system path (Computer, Network) is no folder to
  // install to; the display name would be taken for a relative path.
  const bool isFolder = SHGetPathFromIDListW(chosen, buffer) != FALSE;
  CoTaskMemFree(chosen);
  if (!isFolder) return false;
  *folder = reinterpret_cast<const char16_t*>(buffer);
  return true;
}

void SetupApp::BrowseForTarget() {
  std::u16string folder;
  if (BrowseForFolder(hwnd, &folder, kBrowseTitle)) SetWindowTextW(TargetEdit.hwnd, AsWide(folder));
}
