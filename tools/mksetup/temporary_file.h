// Files created next to the output so that the finished setup program
// appears under its name in one rename, or not at all. Temporaries left by
// an error, an exception or SIGINT/SIGTERM/SIGHUP are removed (on Windows,
// win32/temporary_file_win32.cpp: Ctrl+C, Ctrl+Break, a closed console).
#pragma once

#include <cstdio>
#include <string>

class TemporaryFile {
 public:
  // Creates "<folder of target>/.<name of target>.<tag>-XXXXXX", opened for
  // binary reading and writing. Throws std::runtime_error.
  TemporaryFile(const std::string& target, const char* tag);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  std::FILE* file() const { return file_; }
  const std::string& path() const { return path_; }

  // Drops the name at once; the open file stays usable as scratch space and
  // vanishes when closed, whatever happens.
  void Unlink();

  // Closes the file but keeps its name, so that another program may open it
  // (to sign it): the destructor still removes it, CommitAs still renames
  // it. Throws std::runtime_error when the last bytes cannot be written.
  void Close();

  // Closes and removes the file but keeps its name, for another program
  // that will not write over a file to create one under it. Whatever stands
  // there is removed as a temporary is, or renamed by CommitAs.
  void Vacate();

  // Syncs and closes the file (unless closed), gives it the mode of a newly
  // created file and renames it over `target`. Throws std::runtime_error.
  void CommitAs(const std::string& target);

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  int slot_ = -1;  // in the registry the signal handler cleans up
};
