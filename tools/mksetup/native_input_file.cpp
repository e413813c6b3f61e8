#include "native_input_file.h"

#include "display.h"
#include "native_fs.h"

int OpenVerifiedPackage(const std::string& path, std::unique_ptr<InputFile>* file,
                        PackageInfo* info) {
  const std::string subject = DisplayPath(path);
  std::string error;
  *file = OpenPackageFile(path, &error);
  if (!*file) {
    PrintError(subject, "cannot read the file: " + error);
    return 2;
  }
  switch (ReadPackageFrom(**file, info)) {
    case PACKAGE_VERIFIED:
      return 0;
    case PACKAGE_NONE:
      PrintError(subject, "holds no package (it is a bare stub)");
      return 2;
    case PACKAGE_CORRUPTED:
      PrintError(subject, "the package is damaged (run mksetup verify for details)");
      return 1;
    case PACKAGE_UNREADABLE:
      break;
  }
  PrintError(subject, "cannot read the file");
  return 2;
}
