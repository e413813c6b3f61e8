// The installer's use of the shell: the folder dialog, the known folders and
// the background picture, which is extracted to the templates folder and
// decoded from there.
#include <windows.h>
// windows.h first: the shell headers build on it.
#include <shlobj.h>

#include "app/com_handles.h"
#include "installer/setup_app.h"
#include "package/tree_walker.h"
#include "platform/win32/wide_text.h"

namespace {

constexpr wchar_t kBrowseTitle[] = L"Select Target Directory";
constexpr UINT kBrowseFlags = BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
constexpr size_t kFolderUnits = 512;

}  // namespace

// The long path of a shell folder without a trailing separator; empty when
// the system has none.
std::u16string GetShellFolderPath(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  GetLongPathNameW(path, path, MAX_PATH);
  std::u16string folder(reinterpret_cast<const char16_t*>(path));
  if (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
  return folder;
}

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

void SetupApp::LoadBackgroundPicture() {
  PictureWidth = 0;
  PictureHeight = 0;
  // Decoding lands with the picture loaders.
  ShowWindow(PicturePane.hwnd, SW_HIDE);
}
