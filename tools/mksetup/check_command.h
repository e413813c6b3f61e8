// mksetup check: lints a setup script (and the picture it names in the tree)
// before a build.
#pragma once

#include <string>

#include "CLI/CLI.hpp"

struct CheckOptions {
  std::string script;
  std::string tree;          // empty: the picture is not looked up
  bool followLinks = false;  // as build --follow-links
  bool strict = false;       // warnings count as errors
};

inline constexpr int CHECK_CLEAN = 0;       // no errors (warnings may have been printed)
inline constexpr int CHECK_ERRORS = 1;      // at least one error
inline constexpr int CHECK_UNREADABLE = 2;  // the script or the tree cannot be read

void setup_check(CLI::App& app);
int run_check(const CheckOptions& options);
