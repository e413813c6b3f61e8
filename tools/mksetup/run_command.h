// Running a command line the user gave (a signing tool's): through /bin/sh -c
// on POSIX systems (run_command_posix.cpp), and on Windows as a program with
// its arguments by CreateProcessW (win32/run_command_win32.cpp), without a
// shell: a command that needs cmd.exe's syntax names cmd.exe itself.
#pragma once

#include <string>

// `path` as one argument of such a command line.
std::string QuoteArgument(const std::string& path);

// Runs `commandLine` with mksetup's console and standard streams and waits
// for it. Returns its exit code; -1 with `*error` set when it could not be
// started or did not exit on its own (a signal ended it).
int RunCommandLine(const std::string& commandLine, std::string* error);
