// Writing an extracted tree on a POSIX system without ever following a
// symbolic link below the root: every component is opened relative to its
// parent's descriptor with O_NOFOLLOW, so a link planted in the target (or
// swapped in while we run) cannot redirect a write outside it. The root
// itself is the caller's choice and may be reached through links.
#include "platform/posix/tree_output_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/entry_time.h"
#include "platform/buffered_output_file.h"
#include "platform/posix/native_path.h"

namespace {

// The walker checks names; this is the last line should it ever not.
bool IsPlainComponent(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

// Access and modification time alike; POSIX has no creation time to set.
void ToTimespecs(const EntryTime& time, timespec times[2]) {
  int64_t seconds;
  uint32_t nanoseconds;
  EntryTimeToUnix(time, &seconds, &nanoseconds);
  times[0].tv_sec = static_cast<time_t>(seconds);
  times[0].tv_nsec = static_cast<long>(nanoseconds);
  times[1] = times[0];
}

class PosixOutputFile final : public BufferedOutputFile {
 public:
  static constexpr size_t kBufferSize = 256 * 1024;

  explicit PosixOutputFile(int fd) : BufferedOutputFile(kBufferSize), fd_(fd) {}
  ~PosixOutputFile() override { Close(); }

 private:
  int64_t WriteSome(const void* data, size_t size) override {
    for (;;) {
      const ssize_t n = write(fd_, data, size);
      if (n < 0 && errno == EINTR) continue;
      return n;
    }
  }

  bool CloseRaw() override { return close(fd_) == 0; }

  // On the open descriptor: no second path lookup per file.
  bool SetTimeRaw(const EntryTime& time) override {
    timespec times[2];
    ToTimespecs(time, times);
    return futimens(fd_, times) == 0;
  }

  int fd_;
};

class PosixTreeOutput final : public TreeOutput {
 public:
  explicit PosixTreeOutput(std::string root) : root_(std::move(root)) {}
  ~PosixTreeOutput() override {
    CloseChain(0);
    if (rootFd_ >= 0) close(rootFd_);
  }
  PosixTreeOutput(const PosixTreeOutput&) = delete;
  PosixTreeOutput& operator=(const PosixTreeOutput&) = delete;

  DirectoryOutcome MakeDirectory(std::u16string_view relativePath) override {
    if (relativePath.empty()) {
      return mkdir(root_.c_str(), 0777) == 0 ? DirectoryOutcome::kMade : DirectoryOutcome::kFailed;
    }
    std::string name;
    const int parent = OpenParent(relativePath, &name);
    if (parent < 0) return DirectoryOutcome::kFailed;
    if (mkdirat(parent, name.c_str(), 0777) == 0) return DirectoryOutcome::kMade;
    struct stat status;
    if (errno != EEXIST || fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
      return DirectoryOutcome::kFailed;
    }
    if (S_ISLNK(status.st_mode)) return DirectoryOutcome::kLink;
    return S_ISDIR(status.st_mode) ? DirectoryOutcome::kExisting : DirectoryOutcome::kFailed;
  }

  std::unique_ptr<OutputFile> CreateOutput(std::u16string_view relativePath) override {
    std::string name;
    const int parent = OpenParent(relativePath, &name);
    if (parent < 0) return nullptr;
    // An existing file is replaced, not written into: a hard link or a FIFO
    // planted in the target never receives the data, and a symbolic link or
    // anything else that is not a plain file is refused.
    struct stat status;
    if (fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
      if (!S_ISREG(status.st_mode) || unlinkat(parent, name.c_str(), 0) != 0) return nullptr;
    }
    const int fd =
        openat(parent, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixOutputFile>(fd);
  }

  bool SetEntryTime(std::u16string_view relativePath, const EntryTime& time) override {
    if (!IsValidEntryTime(time)) return false;
    std::string name;
    const int parent = OpenParent(relativePath, &name);
    if (parent < 0) return false;
    timespec times[2];
    ToTimespecs(time, times);
    return utimensat(parent, name.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
  }

 private:
  int RootFd() {
    if (rootFd_ < 0) rootFd_ = open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return rootFd_;
  }

  void CloseChain(size_t keep) {
    while (chain_.size() > keep) {
      close(chain_.back().second);
      chain_.pop_back();
    }
  }

  // The descriptor of the directory that holds the last component of
  // `relativePath` (owned here), and that component in *name; -1 when a
  // component is missing, not a directory, or a symbolic link. The walk is
  // depth first, so the open directories are kept as a chain and only the
  // part that differs from the previous path is opened.
  int OpenParent(std::u16string_view relativePath, std::string* name) {
    std::vector<std::string> components;
    size_t start = 0;
    for (;;) {
      const size_t end = relativePath.find(u'\\', start);
      components.push_back(ToNativePath(relativePath.substr(start, end - start)));
      if (!IsPlainComponent(components.back())) return -1;
      if (end == std::u16string_view::npos) break;
      start = end + 1;
    }
    *name = std::move(components.back());
    components.pop_back();

    size_t same = 0;
    while (same < chain_.size() && same < components.size() &&
           chain_[same].first == components[same]) {
      ++same;
    }
    CloseChain(same);
    int fd = chain_.empty() ? RootFd() : chain_.back().second;
    for (size_t i = same; i < components.size() && fd >= 0; ++i) {
      fd = openat(fd, components[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd >= 0) chain_.emplace_back(std::move(components[i]), fd);
    }
    return fd;
  }

  std::string root_;
  int rootFd_ = -1;
  std::vector<std::pair<std::string, int>> chain_;
};

}  // namespace

std::unique_ptr<TreeOutput> OpenNativeTreeOutput(const char* root) {
  return std::make_unique<PosixTreeOutput>(root);
}

std::unique_ptr<TreeOutput> OpenTreeOutput(const char16_t* root) {
  return OpenNativeTreeOutput(ToNativePath(root).c_str());
}

bool SetFileTimeFromEntry(const EntryTime& time, const char16_t* path) {
  if (!IsValidEntryTime(time)) return false;
  timespec times[2];
  ToTimespecs(time, times);
  return utimensat(AT_FDCWD, ToNativePath(path).c_str(), times, 0) == 0;
}
