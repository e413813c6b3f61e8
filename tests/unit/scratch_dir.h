// Native test helpers for tests that work on real folders.
#pragma once

#include <filesystem>

#include "test_support.h"

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the scope.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Writes `bytes` to `path`, creating its folders.
void WriteFile(const std::filesystem::path& path, const Bytes& bytes);
// The whole file; empty when it cannot be read.
Bytes ReadFile(const std::filesystem::path& path);
