#include "temporary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace {

// The names a signal handler must remove, in storage it can read without
// allocating or locking.
constexpr int REGISTRY_SLOTS = 8;
constexpr size_t REGISTRY_PATH_SIZE = 4096;
char g_registryPaths[REGISTRY_SLOTS][REGISTRY_PATH_SIZE];
std::atomic<bool> g_registryUsed[REGISTRY_SLOTS];

extern "C" void RemoveTemporariesAndDie(int signalNumber) {
  for (int i = 0; i < REGISTRY_SLOTS; ++i) {
    if (g_registryUsed[i].load()) unlink(g_registryPaths[i]);
  }
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

void InstallHandlersOnce() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndDie;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
    return true;
  }();
  (void)installed;
}

int Register(const std::string& path) {
  if (path.size() >= REGISTRY_PATH_SIZE) return -1;
  for (int i = 0; i < REGISTRY_SLOTS; ++i) {
    if (g_registryUsed[i].load()) continue;
    std::memcpy(g_registryPaths[i], path.c_str(), path.size() + 1);
    g_registryUsed[i].store(true);
    return i;
  }
  return -1;
}

void Unregister(int& slot) {
  if (slot >= 0) g_registryUsed[slot].store(false);
  slot = -1;
}

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

TemporaryFile::TemporaryFile(const std::string& target, const char* tag) {
  InstallHandlersOnce();
  const std::filesystem::path targetPath(target);
  std::filesystem::path folder = targetPath.parent_path();
  if (folder.empty()) folder = ".";
  // Built by appending: GCC 12 misreports chained operator+ (-Wrestrict).
  std::string name(".");
  name.append(targetPath.filename().string()).append(".").append(tag).append("-XXXXXX");
  std::string pattern = (folder / name).string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) ThrowErrno("cannot create a temporary file in " + folder.string());
  path_ = pattern;
  slot_ = Register(path_);
  file_ = fdopen(fd, "w+b");
  if (file_ == nullptr) {
    const int error = errno;
    close(fd);
    unlink(path_.c_str());
    Unregister(slot_);
    errno = error;
    ThrowErrno("cannot open " + path_);
  }
  std::setvbuf(file_, nullptr, _IOFBF, size_t{1} << 20);
}

TemporaryFile::~TemporaryFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!path_.empty()) unlink(path_.c_str());
  Unregister(slot_);
}

void TemporaryFile::Unlink() {
  if (!path_.empty()) unlink(path_.c_str());
  path_.clear();
  Unregister(slot_);
}

void TemporaryFile::Close() {
  if (file_ == nullptr) return;
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (closed != 0) ThrowErrno("cannot write " + path_);
}

void TemporaryFile::Vacate() {
  Close();
  if (unlink(path_.c_str()) != 0) ThrowErrno("cannot remove " + path_);
}

void TemporaryFile::CommitAs(const std::string& target) {
  const mode_t mask = umask(0);
  umask(mask);
  // Closed, the file may be another program's by now: reopened by its name.
  const int fd = file_ != nullptr ? fileno(file_) : open(path_.c_str(), O_RDONLY);
  if (fd < 0 || (file_ != nullptr && std::fflush(file_) != 0)) {
    ThrowErrno("cannot write " + path_);
  }
  const char* failed = fchmod(fd, 0666 & ~mask) != 0 ? "cannot set the mode of "
                       : fsync(fd) != 0              ? "cannot write "
                                                     : nullptr;
  const int error = errno;
  const int closed = file_ != nullptr ? std::fclose(file_) : close(fd);
  file_ = nullptr;
  errno = error;
  if (failed != nullptr) ThrowErrno(failed + path_);
  if (closed != 0) ThrowErrno("cannot write " + path_);
  if (std::rename(path_.c_str(), target.c_str()) != 0) ThrowErrno("cannot create " + target);
  path_.clear();
  Unregister(slot_);
}
