// The setup window's background picture, which is extracted to a private
// file in the templates folder and decoded from there.
#include <windows.h>
// windows.h first: the shell headers build on it.
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>

#include <cstdio>
#include <memory>

#include "installer/win32/picture_bitmap.h"
#include "installer/win32/setup_app.h"
#include "package/tree_walker.h"
#include "platform/input_file.h"
#include "platform/win32/wide_text.h"

namespace {

// Names tried for the picture's private file before giving up.
constexpr DWORD kPrivateNameAttempts = 16;

using PictureLoader = HBITMAP (*)(FILE* file);

// The loader for a picture name's extension, which is compared exactly:
// ".PNG" and ".jpeg" are not recognised. Null for any other.
PictureLoader ChoosePictureLoader(std::u16string_view name) {
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos) return nullptr;
  const std::u16string_view extension = name.substr(dot);
  if (extension == u".png") return LoadPngBitmap;
  if (extension == u".jpg") return LoadJpegBitmap;
  return nullptr;
}

// A new file in `folder` that this process alone has open, removed when it
// is closed: nobody can have put it there, read it or swap it. A name that
// is taken is never opened; INVALID_HANDLE_VALUE when no name was free.
HANDLE CreatePrivateFile(const std::u16string& folder) {
  for (DWORD attempt = 0; attempt < kPrivateNameAttempts; ++attempt) {
    wchar_t path[MAX_PATH + 64];
    wsprintfW(path, L"%s\\temp_install-%lu-%lu.tmp", AsWide(folder), GetCurrentProcessId(),
              GetTickCount() + attempt);
    const HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// The extraction's one file, written to an open handle that stays open.
class HandleOutputFile final : public OutputFile {
 public:
  explicit HandleOutputFile(HANDLE file) : file_(file) {}
  bool Write(const void* data, size_t size) override {
    DWORD written = 0;
    return size <= MAXDWORD &&
           WriteFile(file_, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
  }
  bool Close() override { return true; }

 private:
  HANDLE file_;
};

class HandleTreeOutput final : public TreeOutput {
 public:
  explicit HandleTreeOutput(HANDLE file) : file_(file) {}
  DirectoryOutcome MakeDirectory(std::u16string_view) override { return DirectoryOutcome::kFailed; }
  std::unique_ptr<OutputFile> CreateOutput(std::u16string_view, CreateRefusal*) override {
    return std::make_unique<HandleOutputFile>(file_);
  }
  bool SetEntryTime(std::u16string_view, const EntryTime&) override { return false; }

 private:
  HANDLE file_;
};

// Decodes the private file from its start; closing it removes it.
HBITMAP DecodePrivateFile(HANDLE file, PictureLoader loader) {
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0) {
    CloseHandle(file);
    return nullptr;
  }
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (descriptor == -1) {
    CloseHandle(file);
    return nullptr;
  }
  FILE* stream = _fdopen(descriptor, "rb");
  if (stream == nullptr) {
    _close(descriptor);
    return nullptr;
  }
  HBITMAP bitmap = loader(stream);
  fclose(stream);
  return bitmap;
}

}  // namespace

// The decoders read files: the picture goes through a private file in the
// templates folder, removed as soon as it is decoded.
HBITMAP SetupApp::DecodePackagePicture() {
  const PictureLoader loader = ChoosePictureLoader(texts.pictureName);
  const std::u16string folder = GetShellFolderPath(CSIDL_TEMPLATES);
  if (loader == nullptr || folder.empty()) return nullptr;
  const HANDLE file = CreatePrivateFile(folder);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  HandleTreeOutput output(file);
  if (!FindAndExtractFile(*packageFile, package.treeOffset, texts.pictureName, output,
                          u"picture")) {
    CloseHandle(file);
    return nullptr;
  }
  return DecodePrivateFile(file, loader);
}

void SetupApp::LoadBackgroundPicture() {
  if (!texts.pictureName.empty()) PictureBitmap = DecodePackagePicture();
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
