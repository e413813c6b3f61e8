// Writing an extracted tree on a POSIX system without ever following a
// symbolic link below the root: every component is opened relative to its
// parent's descriptor with O_NOFOLLOW, so a link planted in the target (or
// swapped in while we run) cannot redirect a write outside it. The root
// itself is the caller's choice and may be reached through links.
#include "platform/posix/tree_output_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/entry_time.h"
#include "base/utf8.h"
#include "platform/buffered_output_file.h"
#include "platform/posix/native_path.h"
#include "platform/temporary_name.h"

namespace {

// Temporary names tried in a folder before giving up on a file.
constexpr int kNameAttempts = 16;

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

class PosixTreeOutput;

// The file is written under a temporary name in its folder and renamed over
// its place when whole.
class PosixOutputFile final : public BufferedOutputFile {
 public:
  static constexpr size_t kBufferSize = 256 * 1024;

  PosixOutputFile(PosixTreeOutput& owner, int fd, int folder, std::string temporary,
                  std::string name)
      : BufferedOutputFile(kBufferSize),
        owner_(owner),
        fd_(fd),
        folder_(folder),
        temporary_(std::move(temporary)),
        name_(std::move(name)) {}
  ~PosixOutputFile() override {
    Discard();
    close(folder_);
  }

 private:
  int64_t WriteSome(const void* data, size_t size) override;
  bool CloseRaw() override { return close(fd_) == 0; }

  // On the open descriptor: no second path lookup per file.
  bool SetTimeRaw(const EntryTime& time) override {
    timespec times[2];
    ToTimespecs(time, times);
    return futimens(fd_, times) == 0;
  }

  bool CommitRaw() override;
  void DiscardRaw() override { unlinkat(folder_, temporary_.c_str(), 0); }

  PosixTreeOutput& owner_;
  int fd_;
  int folder_;  // our own descriptor of the file's folder
  std::string temporary_;
  std::string name_;
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
      if (mkdir(root_.c_str(), 0777) == 0) return DirectoryOutcome::kMade;
      if (errno == EEXIST && RootFd() >= 0 && known_.emplace().second) {
        RemoveLeftovers(fcntl(rootFd_, F_DUPFD_CLOEXEC, 0));
      }
      return DirectoryOutcome::kFailed;
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
    if (!S_ISDIR(status.st_mode)) return DirectoryOutcome::kFailed;
    if (known_.emplace(relativePath).second) {
      const int fd = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd >= 0) RemoveLeftovers(fd);
    }
    return DirectoryOutcome::kExisting;
  }

  std::unique_ptr<OutputFile> CreateOutput(std::u16string_view relativePath,
                                           CreateRefusal* why) override {
    if (why != nullptr) *why = CreateRefusal::kFailed;
    std::string name;
    const int parent = OpenParent(relativePath, &name);
    if (parent < 0) return nullptr;
    // Only a plain file is replaced; a symbolic link stays as it is, and
    // anything else (a folder, a FIFO) refuses the file.
    struct stat status;
    if (fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(status.st_mode)) {
      if (why != nullptr && S_ISLNK(status.st_mode)) *why = CreateRefusal::kLink;
      return nullptr;
    }
    const int folder = fcntl(parent, F_DUPFD_CLOEXEC, 0);
    if (folder < 0) return nullptr;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::string temporary = ToNativePath(TemporaryFileName(serial_++));
      const int fd = openat(folder, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (fd >= 0) {
        return std::make_unique<PosixOutputFile>(*this, fd, folder, std::move(temporary),
                                                 std::move(name));
      }
      if (errno == EEXIST) continue;
      if (NoteError(errno) && why != nullptr) *why = CreateRefusal::kDiskFull;
      break;
    }
    close(folder);
    return nullptr;
  }

  // True when `error` says the volume is full.
  bool NoteError(int error) {
    if (error != ENOSPC && error != EDQUOT) return false;
    NoteDiskFull();
    return true;
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

  // What an extraction killed while it wrote left in the folder `fd` (which
  // this closes): only plain files under the extraction's temporary names.
  static void RemoveLeftovers(int fd) {
    if (fd < 0) return;
    DIR* folder = fdopendir(fd);
    if (folder == nullptr) {
      close(fd);
      return;
    }
    while (const dirent* entry = readdir(folder)) {
      struct stat status;
      if (IsTemporaryFileName(Utf8ToWide(entry->d_name)) &&
          fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISREG(status.st_mode)) {
        unlinkat(fd, entry->d_name, 0);
      }
    }
    closedir(folder);
  }

  std::string root_;
  int rootFd_ = -1;
  uint32_t serial_ = static_cast<uint32_t>(getpid()) << 16;
  // Folders cleared of leftovers already: both walks pass them.
  std::set<std::u16string> known_;
  std::vector<std::pair<std::string, int>> chain_;
};

int64_t PosixOutputFile::WriteSome(const void* data, size_t size) {
  for (;;) {
    const ssize_t n = write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) owner_.NoteError(errno);
    return n;
  }
}

// rename replaces the name itself: a hard link's other name keeps its data.
bool PosixOutputFile::CommitRaw() {
  if (renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) == 0) return true;
  owner_.NoteError(errno);
  unlinkat(folder_, temporary_.c_str(), 0);
  return false;
}

}  // namespace

std::unique_ptr<TreeOutput> OpenNativeTreeOutput(const char* root) {
  return std::make_unique<PosixTreeOutput>(root);
}

std::unique_ptr<TreeOutput> OpenTreeOutput(const char16_t* root, ReplaceHandler*) {
  return OpenNativeTreeOutput(ToNativePath(root).c_str());
}

bool SetFileTimeFromEntry(const EntryTime& time, const char16_t* path) {
  if (!IsValidEntryTime(time)) return false;
  timespec times[2];
  ToTimespecs(time, times);
  return utimensat(AT_FDCWD, ToNativePath(path).c_str(), times, 0) == 0;
}
