// The installer's use of the shell: the folder dialog, the known folders and
// the background picture, which is extracted to the templates folder and
// decoded from there.
#include <windows.h>
// windows.h first: the shell headers build on it.
#include <shlobj.h>

#include "app/com_handles.h"
#include "installer/setup_app.h"
#include "installer/win32/picture_bitmap.h"
#include "package/tree_walker.h"
#include "platform/win32/wide_text.h"

namespace {

constexpr wchar_t kBrowseTitle[] = L"Select Target Directory";
constexpr UINT kBrowseFlags = BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
constexpr size_t kFolderUnits = 512;

using PictureLoader = HBITMAP (*)(const wchar_t* path);

// The loader and the temporary file's name for a picture name's extension,
// which is compared exactly: ".PNG" and ".jpeg" are not recognised.
bool ChoosePictureLoader(std::u16string_view name, PictureLoader* loader,
                         const char16_t** fileName) {
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos) return false;
  const std::u16string_view extension = name.substr(dot);
  if (extension == u".png") {
    *loader = LoadPngBitmap;
    *fileName = u"temp_install.png";
    return true;
  }
  if (extension == u".jpg") {
    *loader = LoadJpegBitmap;
    *fileName = u"temp_install.jpg";
    return true;
  }
  return false;
}

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
  PictureLoader loader = nullptr;
  const char16_t* fileName = nullptr;
  if (!texts.pictureName.empty() && ChoosePictureLoader(texts.pictureName, &loader, &fileName)) {
    // The decoders read files: the picture goes through the templates
    // folder and is removed as soon as it is decoded.
    std::u16string path = GetShellFolderPath(CSIDL_TEMPLATES);
    if (!path.empty()) {
      path.append(1, u'\\').append(fileName);
      ExtractPackageFile(package.stubPath.c_str(), package.treeOffset, texts.pictureName.c_str(),
                         path.c_str());
      PictureBitmap = loader(AsWide(path));
      DeleteFileW(AsWide(path));
    }
  }
  BITMAP facts;
  if (PictureBitmap == nullptr || GetObjectW(PictureBitmap, sizeof(facts), &facts) == 0) {
    // No picture, or one that could not be had: the pane goes, and the
    // window takes its default width.
    ShowWindow(PicturePane.hwnd, SW_HIDE);
    PictureWidth = 0;
    PictureHeight = 0;
    return;
  }
  PictureWidth = facts.bmWidth;
  PictureHeight = facts.bmHeight;
}
