// mksetup list: the script and the file tree of a setup program.
#pragma once

#include <string>

#include "CLI/CLI.hpp"

struct ListOptions {
  std::string file;
  bool json = false;
};

void setup_list(CLI::App& app);
// 0, or the exit codes of OpenVerifiedPackage; 1 also when the tree section
// or its index is damaged (what remains is still listed).
int run_list(const ListOptions& options);
