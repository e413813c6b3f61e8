#include "tree_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

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

// Lists one folder and closes it before descending, so that deep trees do
// not pile up open descriptors.
void ScanDirectory(const std::string& fullPath, const std::string& relativePath,
                   TreeEntry& directory) {
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
        throw PackageError(path, "a symbolic link; a package holds only folders and regular files");
      }
      if (S_ISDIR(status.st_mode)) {
        TreeEntry child;
        child.name = name;
        child.isDirectory = true;
        directory.children.push_back(std::move(child));
      } else if (S_ISREG(status.st_mode)) {
        directory.children.push_back(FileEntry(name, status, path));
      } else {
        throw PackageError(path,
                           "a special file (fifo, socket or device); a package holds only folders "
                           "and regular files");
      }
    }
  }
  for (TreeEntry& child : directory.children) {
    if (child.isDirectory) {
      ScanDirectory(fullPath + "/" + child.name, Join(relativePath, child.name), child);
    }
  }
}

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

ScannedTree ScanTree(const std::string& directory) {
  struct stat status;
  if (stat(directory.c_str(), &status) != 0) {
    throw PackageError("",
                       "cannot read the tree folder " + directory + ": " + std::strerror(errno));
  }
  if (!S_ISDIR(status.st_mode))
    throw PackageError("", "the tree " + directory + " is not a folder");
  ScannedTree tree;
  tree.root.isDirectory = true;
  ScanDirectory(directory, "", tree.root);
  SortTree(tree.root);
  return tree;
}

std::unique_ptr<ContentReader> TreeContentSource::Open(const std::string& path) {
  // O_NONBLOCK: a file swapped for a fifo since the scan must not hang us.
  const int fd =
      open(Join(directory_, path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) ThrowErrno(path, "cannot open the file");
  auto reader = std::make_unique<FdReader>(fd, path);
  struct stat status;
  if (fstat(fd, &status) != 0) ThrowErrno(path, "cannot read the file");
  if (!S_ISREG(status.st_mode)) throw PackageError(path, "no longer a regular file");
  return reader;
}
