#include "installer/win32/previous_install.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "base/utf8.h"
#include "package/package_format.h"
#include "platform/win32/wide_text.h"
#include "platform/windows_path.h"
#include "script/product_section.h"

bool ReadPreviousRecord(const std::u16string& folder, std::string_view id, PackageTree* record) {
  const std::u16string path = LongPathForm(Concat({folder, u"\\", Utf8ToWide(UNINSTALLER_NAME)}));
  const DWORD attributes = GetFileAttributesW(AsWide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return false;
  }
  std::unique_ptr<InputFile> file = OpenPackageFile(path.c_str());
  PackageInfo info;
  if (!file || ReadPackageFrom(*file, &info) != PACKAGE_VERIFIED ||
      info.treeMethod != TREE_METHOD_RECORD) {
    return false;
  }
  const Product product =
      ReadProductSection(ScriptText{info.script.bytes, info.script.length}, LocaleName{});
  if (product.id != id) return false;
  return OpenPackageTree(*file, info.treeOffset, record) && !record->damaged;
}

namespace {

std::u16string_view WithoutSeparator(std::u16string_view folder) {
  if (folder.size() > 3 && folder.back() == u'\\') folder.remove_suffix(1);
  return folder;
}

bool Identify(const std::u16string& folder, BY_HANDLE_FILE_INFORMATION* info) {
  const HANDLE handle = CreateFileW(AsWide(LongPathForm(folder)), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const BOOL read = GetFileInformationByHandle(handle, info);
  CloseHandle(handle);
  return read != 0;
}

}  // namespace

bool SameFolder(const std::u16string& a, const std::u16string& b) {
  const std::u16string_view x = WithoutSeparator(a);
  const std::u16string_view y = WithoutSeparator(b);
  if (CompareStringOrdinal(reinterpret_cast<const wchar_t*>(x.data()), static_cast<int>(x.size()),
                           reinterpret_cast<const wchar_t*>(y.data()), static_cast<int>(y.size()),
                           TRUE) == CSTR_EQUAL) {
    return true;
  }
  BY_HANDLE_FILE_INFORMATION first;
  BY_HANDLE_FILE_INFORMATION second;
  return Identify(a, &first) && Identify(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}
