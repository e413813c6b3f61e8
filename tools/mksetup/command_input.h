// What the commands read: whole files named on the command line (a script,
// a stub), and setup programs, opened by their native (byte string) path so
// that any name the shell passes works.
#pragma once

#include <memory>
#include <string>

#include "package/package_reader.h"
#include "platform/input_file.h"

// Reads the whole file at `path` into `bytes`. False with errno set when it
// cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* bytes);

// Opens the file at `path` for the reader when it may hold a package. On
// success returns 0 and fills `file`; otherwise prints why (cannot be read, a
// folder, too short for a stub, not a Windows program) and returns 2.
int OpenSetupProgram(const std::string& path, std::unique_ptr<InputFile>* file);

// Says what is wrong with a package whose digest or contents the reader
// refused, for the message that names the file.
using DamageDescription = std::string (*)(InputFile& file);

// The exit codes of the commands that read a setup program.
inline constexpr int EXIT_DAMAGED = 1;
inline constexpr int EXIT_NO_PACKAGE = 2;  // a bare stub, a folder, a file that cannot be read

// Opens and verifies the setup program at `path`. On success returns 0 and
// fills `file` and `info`; otherwise prints why (naming the file) and returns
// the exit code: EXIT_DAMAGED (`describeDamage` says why, by default a hint
// to run mksetup verify) or EXIT_NO_PACKAGE.
int OpenVerifiedPackage(const std::string& path, std::unique_ptr<InputFile>* file,
                        PackageInfo* info, DamageDescription describeDamage = nullptr);
