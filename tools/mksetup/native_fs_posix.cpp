#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "native_fs.h"
#include "platform/posix/native_path.h"
#include "platform/posix/tree_output_posix.h"

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrepareConsole() {}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

std::FILE* OpenNativeFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

bool IsNativeFolder(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string FolderPart(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExecutableFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
}

std::unique_ptr<InputFile> OpenPackageFile(const std::string& path, std::string* error) {
  std::unique_ptr<InputFile> file = OpenNativeInputFile(path.c_str());
  if (!file) *error = std::strerror(errno);
  return file;
}

std::unique_ptr<TreeOutput> OpenExtractTarget(const std::string& path) {
  return OpenNativeTreeOutput(path.c_str());
}
