// mksetup build: a folder and a script become a setup program.
#pragma once

#include <string>

#include "CLI/CLI.hpp"

struct BuildOptions {
  std::string script;
  std::string tree;
  std::string output;
  std::string stub;                // empty: setup-stub.exe beside the mksetup executable
  std::string userStub;            // empty: setup-stub-user.exe beside the stub
  std::string icon;                // empty: [product]'s SetupIcon, else the stub's icon
  std::string method = "deflate";  // or "lzma2"
  int level = 0;                   // 0: the writer's default for the method
  uint64_t blockSize = 0;          // lzma2 only; 0: the writer's default
  unsigned jobs = 0;               // 0: every core
  bool store = false;
  bool noDedup = false;      // store files with identical contents once each
  bool followLinks = false;  // store what symbolic links point at
  bool quiet = false;
  bool strict = false;  // the linter's warnings refuse the build, as its errors do
  // SOURCE_DATE_EPOCH's value: no stored file time is later; empty: the
  // files' own times.
  std::string sourceDateEpoch;
  // Signs the uninstaller and the setup (sign_command.h); empty: nothing is.
  std::string signCommand;
};

void setup_build(CLI::App& app);
// Returns the exit code: 0, or 1 after printing why the build failed.
int run_build(const BuildOptions& options);
