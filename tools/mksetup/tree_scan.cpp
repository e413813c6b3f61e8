#include "tree_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/entry_time.h"
#include "builder/tree_rules.h"

namespace {

std::string Join(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "/" + name;
}

[[noreturn]] void ThrowErrno(const std::string& path, const char* what) {
  throw PackageError(path, std::string(what) + ": " + std::strerror(errno));
}

class Directory {
 public:
  explicit Directory(const std::string& path) : dir_(opendir(path.c_str())) {}
  ~Directory() {
    if (dir_ != nullptr) closedir(dir_);
  }
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

TreeEntry FileEntry(const std::string& name, const struct stat& status, const std::string& path) {
  TreeEntry entry;
  entry.name = name;
  entry.size = static_cast<uint64_t>(status.st_size);
  if (!EntryTimeFromUnix(status.st_mtim.tv_sec, static_cast<uint32_t>(status.st_mtim.tv_nsec),
                         &entry.time)) {
    throw PackageError(path, "the modification time is outside the years 1601 to 30827");
  }
  return entry;
}

constexpr char kLinkRefused[] =
    "a symbolic link; a package holds only folders and regular files "
    "(--follow-links stores what links point at)";

// Walks the tree below one root, following links when asked to.
class Scanner {
 public:
  Scanner(const std::string& root, bool followLinks) : followLinks_(followLinks) {
    if (!followLinks) return;
    char* real = realpath(root.c_str(), nullptr);
    if (real == nullptr) ThrowErrno("", "cannot resolve the tree folder");
    rootReal_ = real;
    free(real);
  }

  // Lists one folder and closes it before descending, so that deep trees do
  // not pile up open descriptors. `self` is the folder's own status.
  void Scan(const std::string& fullPath, const std::string& relativePath, TreeEntry& directory,
            const struct stat& self) {
    std::vector<struct stat> folders;
    {
      Directory dir(fullPath);
      if (dir.get() == nullptr) ThrowErrno(relativePath, "cannot read the folder");
      for (;;) {
        errno = 0;
        const dirent* item = readdir(dir.get());
        if (item == nullptr) {
          if (errno != 0) ThrowErrno(relativePath, "cannot read the folder");
          break;
        }
        const std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = Join(relativePath, name);
        struct stat status;
        if (fstatat(dirfd(dir.get()), item->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
          ThrowErrno(path, "cannot read the entry");
        }
        if (S_ISLNK(status.st_mode)) {
          if (!followLinks_) throw PackageError(path, kLinkRefused);
          status = Follow(fullPath + "/" + name, path);
        }
        if (S_ISDIR(status.st_mode)) {
          TreeEntry child;
          child.name = name;
          child.isDirectory = true;
          directory.children.push_back(std::move(child));
          folders.push_back(status);
        } else if (S_ISREG(status.st_mode)) {
          directory.children.push_back(FileEntry(name, status, path));
        } else {
          throw PackageError(path,
                             "a special file (fifo, socket or device); a package holds only "
                             "folders and regular files");
        }
      }
    }
    ancestors_.push_back(self);
    size_t next = 0;
    for (TreeEntry& child : directory.children) {
      if (!child.isDirectory) continue;
      const struct stat& status = folders[next++];
      const std::string path = Join(relativePath, child.name);
      for (const struct stat& ancestor : ancestors_) {
        if (ancestor.st_dev == status.st_dev && ancestor.st_ino == status.st_ino) {
          throw PackageError(path, "a symbolic link loop: it leads back to a folder that holds it");
        }
      }
      Scan(fullPath + "/" + child.name, path, child, status);
    }
    ancestors_.pop_back();
  }

 private:
  // The status of what the link at `fullPath` points at, which must lie
  // inside the tree.
  struct stat Follow(const std::string& fullPath, const std::string& path) const {
    char* resolved = realpath(fullPath.c_str(), nullptr);
    if (resolved == nullptr) {
      if (errno == ELOOP) throw PackageError(path, "a symbolic link loop");
      if (errno == ENOENT) throw PackageError(path, "a symbolic link that points at nothing");
      ThrowErrno(path, "cannot follow the symbolic link");
    }
    const std::string real = resolved;
    free(resolved);
    const std::string inside = rootReal_ == "/" ? rootReal_ : rootReal_ + "/";
    if (real != rootReal_ && real.compare(0, inside.size(), inside) != 0) {
      throw PackageError(path, "a symbolic link that leads out of the tree (to " + real +
                                   "); copy what it points at into the tree instead");
    }
    struct stat status;
    if (stat(real.c_str(), &status) != 0) ThrowErrno(path, "cannot follow the symbolic link");
    return status;
  }

  bool followLinks_;
  std::string rootReal_;
  std::vector<struct stat> ancestors_;  // the folders being listed, outermost first
};

class FdReader final : public ContentReader {
 public:
  FdReader(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~FdReader() override { close(fd_); }
  FdReader(const FdReader&) = delete;
  FdReader& operator=(const FdReader&) = delete;

  size_t Read(void* buffer, size_t size) override {
    for (;;) {
      const ssize_t got = read(fd_, buffer, size);
      if (got >= 0) return static_cast<size_t>(got);
      if (errno != EINTR) ThrowErrno(path_, "cannot read the file");
    }
  }

 private:
  int fd_;
  std::string path_;
};

}  // namespace

ScannedTree ScanTree(const std::string& directory, bool followLinks) {
  struct stat status;
  if (stat(directory.c_str(), &status) != 0) {
    throw PackageError("",
                       "cannot read the tree folder " + directory + ": " + std::strerror(errno));
  }
  if (!S_ISDIR(status.st_mode))
    throw PackageError("", "the tree " + directory + " is not a folder");
  ScannedTree tree;
  tree.root.isDirectory = true;
  Scanner(directory, followLinks).Scan(directory, "", tree.root, status);
  SortTree(tree.root);
  return tree;
}

std::unique_ptr<ContentReader> TreeContentSource::Open(const std::string& path) {
  // O_NONBLOCK: a file swapped for a fifo since the scan must not hang us.
  const int fd = open(Join(directory_, path).c_str(),
                      O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLinks_ ? 0 : O_NOFOLLOW));
  if (fd < 0) ThrowErrno(path, "cannot open the file");
  auto reader = std::make_unique<FdReader>(fd, path);
  struct stat status;
  if (fstat(fd, &status) != 0) ThrowErrno(path, "cannot read the file");
  if (!S_ISREG(status.st_mode)) throw PackageError(path, "no longer a regular file");
  return reader;
}
