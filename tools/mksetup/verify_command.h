// mksetup verify: checks the digest of a setup program's package.
#pragma once

#include <string>

#include "CLI/CLI.hpp"

struct VerifyOptions {
  std::string file;
};

inline constexpr int VERIFY_OK = 0;
inline constexpr int VERIFY_CORRUPTED = 1;
inline constexpr int VERIFY_NO_PACKAGE = 2;  // a bare stub, or a file that cannot be read

void setup_verify(CLI::App& app);
int run_verify(const VerifyOptions& options);
