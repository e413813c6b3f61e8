// mksetup verify: checks the digest of a setup program's package.
#pragma once

#include <string>

#include "CLI/CLI.hpp"

struct VerifyOptions {
  std::string file;
};

void setup_verify(CLI::App& app);
int run_verify(const VerifyOptions& options);
