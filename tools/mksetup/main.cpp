// mksetup: builds and checks setup programs. Each subcommand lives in its own
// file with a setup_X that declares it and a run_X that carries it out.
#include <iostream>
#include <string>
#include <vector>

#include "CLI/CLI.hpp"
#include "build_command.h"
#include "check_command.h"
#include "extract_command.h"
#include "list_command.h"
#include "native_fs.h"
#include "verify_command.h"

int main(int argc, char** argv) {
  PrepareConsole();
  std::vector<std::string> arguments = CommandLineArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  CLI::App app{"mksetup: builds and checks setup programs"};
  app.set_version_flag("--version", "mksetup " MKSETUP_VERSION);
  setup_build(app);
  setup_verify(app);
  setup_check(app);
  setup_list(app);
  setup_extract(app);
  // Not require_subcommand(): it would answer a mistyped subcommand with "a
  // subcommand is required" instead of naming the word it did not expect.
  CLI11_PARSE(app, static_cast<int>(pointers.size()), pointers.data());
  if (app.get_subcommands().empty()) {
    std::cerr << app.help();
    return 1;
  }
  return 0;
}
