#include "command_input.h"

#include <cstdio>
#include <cstring>

#include "base/byte_order.h"
#include "display.h"
#include "native_fs.h"
#include "package/package_format.h"
#include "package/pe_signature.h"

namespace {

// Why `file` cannot be a setup program at all; null when it may be one (or
// cannot be read, which the package reader reports).
const char* WhyNotASetupProgram(InputFile& file) {
  const int64_t size = file.Size();
  if (size < 0) return nullptr;
  if (size < STUB_SIZE) {
    return "holds no package: too short to be a setup program (give the file mksetup build "
           "wrote)";
  }
  uint8_t header[PE_HEADER_OFFSET_FIELD + 4];
  if (!file.Seek(0) || file.Read(header, sizeof header) != sizeof header) return nullptr;
  const uint32_t peOffset = DecodeU32(header + PE_HEADER_OFFSET_FIELD);
  uint8_t signature[4] = {};
  const bool isPe = header[0] == 'M' && header[1] == 'Z' && peOffset <= size - 4 &&
                    file.Seek(peOffset) && file.Read(signature, 4) == 4 &&
                    std::memcmp(signature, "PE\0\0", 4) == 0;
  if (!isPe) {
    return "holds no package: not a Windows program (give the file mksetup build wrote)";
  }
  return nullptr;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenNativeFile(path, "rb"), &std::fclose);
  if (!file) return false;
  bytes->clear();
  char buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes->append(buffer, got);
  return std::ferror(file.get()) == 0;
}

int OpenSetupProgram(const std::string& path, std::unique_ptr<InputFile>* file) {
  const std::string subject = DisplayPath(path);
  if (IsNativeFolder(path)) {
    PrintError(subject, "holds no package: a folder, not a setup program");
    return EXIT_NO_PACKAGE;
  }
  std::string error;
  *file = OpenPackageFile(path, &error);
  if (!*file) {
    PrintError(subject, "cannot read the file: " + error);
    return EXIT_NO_PACKAGE;
  }
  if (const char* why = WhyNotASetupProgram(**file)) {
    PrintError(subject, why);
    return EXIT_NO_PACKAGE;
  }
  return 0;
}

int OpenVerifiedPackage(const std::string& path, std::unique_ptr<InputFile>* file,
                        PackageInfo* info, DamageDescription describeDamage) {
  const std::string subject = DisplayPath(path);
  if (const int code = OpenSetupProgram(path, file); code != 0) return code;
  switch (ReadPackageFrom(**file, info)) {
    case PACKAGE_VERIFIED:
      return 0;
    case PACKAGE_NONE:
      PrintError(subject, "holds no package (it is a bare stub)");
      return EXIT_NO_PACKAGE;
    case PACKAGE_CORRUPTED:
      PrintError(subject, describeDamage != nullptr
                              ? describeDamage(**file)
                              : "the package is damaged (run mksetup verify for details)");
      return EXIT_DAMAGED;
    case PACKAGE_UNREADABLE:
      break;
  }
  PrintError(subject, "cannot read the file");
  return EXIT_NO_PACKAGE;
}
