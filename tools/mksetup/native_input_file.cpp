#include "native_input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "display.h"
#include "platform/posix/native_path.h"

int OpenVerifiedPackage(const std::string& path, std::unique_ptr<InputFile>* file,
                        PackageInfo* info) {
  const std::string subject = DisplayPath(path);
  *file = OpenNativeInputFile(path.c_str());
  if (!*file) {
    PrintError(subject, std::string("cannot read the file: ") + std::strerror(errno));
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
