// A package opened by its native (byte string) path, so that any name the
// shell passes works, for the commands that read a setup program.
#pragma once

#include <memory>
#include <string>

#include "package/package_reader.h"
#include "platform/input_file.h"

// Opens and verifies the setup program at `path`. On success returns 0 and
// fills `file` and `info`; otherwise prints why (naming the file) and returns
// the exit code: 1 for a damaged package, 2 for no package or no file.
int OpenVerifiedPackage(const std::string& path, std::unique_ptr<InputFile>* file,
                        PackageInfo* info);

// Opens the file at `path` for the reader when it may hold a package. On
// success returns 0 and fills `file`; otherwise prints why (cannot be read, a
// folder, too short for a stub, not a Windows program) and returns 2.
int OpenSetupProgram(const std::string& path, std::unique_ptr<InputFile>* file);
