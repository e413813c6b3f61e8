// What the commands need from the operating system besides the package
// seam: files named by the command line's paths (UTF-8 on Windows, the
// system's bytes elsewhere), the folder mksetup runs from, and the console.
// Twins: native_fs_posix.cpp and win32/native_fs_win32.cpp.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/input_file.h"
#include "platform/tree_output.h"

// The command line's arguments as mksetup reads them (UTF-8 on Windows,
// whatever the console's code page).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// UTF-8 output on a Windows console, escape sequences for the progress bar,
// and no newline translation on stdout and stderr. Nothing elsewhere.
void PrepareConsole();
bool IsTerminal(std::FILE* stream);

// fopen() by such a path; null with errno set when it fails.
std::FILE* OpenNativeFile(const std::string& path, const char* mode);
bool IsNativeFolder(const std::string& path);

// The folder part of `path` as given, up to and with its last separator
// ("out/"); empty for a bare file name.
std::string FolderPart(const std::string& path);

// The folder holding the running mksetup; empty when it cannot be told.
std::string ExecutableFolder();

// A setup program opened for the reader; null with *error set when it fails.
std::unique_ptr<InputFile> OpenPackageFile(const std::string& path, std::string* error);

// The folder an extraction writes to (created by MakeDirectory(u"")).
std::unique_ptr<TreeOutput> OpenExtractTarget(const std::string& path);
