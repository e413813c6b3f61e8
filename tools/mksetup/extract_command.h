// mksetup extract: writes the file tree of a setup program into a folder,
// through the stub's own walker and safety rules.
#pragma once

#include <string>

#include "CLI/CLI.hpp"

struct ExtractCommandOptions {
  std::string file;
  std::string directory;
  bool quiet = false;
};

// Exit codes besides those of OpenVerifiedPackage (1 damaged, 2 no package).
inline constexpr int EXTRACT_EXIT_DAMAGED = 1;     // a file's data or the tree is damaged
inline constexpr int EXTRACT_EXIT_INCOMPLETE = 3;  // entries were skipped or not written

void setup_extract(CLI::App& app);
int run_extract(const ExtractCommandOptions& options);
