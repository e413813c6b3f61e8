// The protection Program Files gives its folders, for the folders a
// per-machine install makes: a folder made under C:\ inherits "Authenticated
// Users: Modify" there, and every user could change what administrators run.
#pragma once

#include <windows.h>

class ProgramFilesSecurity {
 public:
  ProgramFilesSecurity();
  ~ProgramFilesSecurity();
  ProgramFilesSecurity(const ProgramFilesSecurity&) = delete;
  ProgramFilesSecurity& operator=(const ProgramFilesSecurity&) = delete;

  // For CreateDirectoryW, so that the folder never exists without it; null
  // when the descriptor could not be made (the folder inherits its parent's).
  SECURITY_ATTRIBUTES* Attributes() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};
