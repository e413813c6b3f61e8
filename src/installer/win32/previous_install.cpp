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
