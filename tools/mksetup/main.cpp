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

namespace {

constexpr int EXIT_USAGE = 2;

constexpr char kExitCodes[] =
    "Exit codes:\n"
    "  0  done: built, verified, listed, extracted; check found no errors\n"
    "  1  build refused its input or failed (nothing is left behind); verify, list,\n"
    "     extract: the package is damaged; check: the script has errors\n"
    "  2  a usage error (unknown option, missing argument, bad value, no command);\n"
    "     verify, list, extract: the file holds no package or cannot be read;\n"
    "     check: the script or the tree cannot be read\n"
    "  3  extract: some entries were skipped or could not be written\n"
    "Run 'mksetup COMMAND --help' for the options of a command.";

// "mksetup" or "mksetup build": where the user went wrong, for the hint.
std::string CommandName(const CLI::App& app) {
  std::string name = "mksetup";
  for (const CLI::App* command : app.get_subcommands()) name += " " + command->get_name();
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  PrepareConsole();
  std::vector<std::string> arguments = CommandLineArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  CLI::App app{"mksetup: builds and checks setup programs"};
  app.footer(kExitCodes);
  app.set_version_flag("--version", "mksetup " MKSETUP_VERSION);
  setup_build(app);
  setup_verify(app);
  setup_check(app);
  setup_list(app);
  setup_extract(app);
  // Not require_subcommand(): it would answer a mistyped subcommand with "a
  // subcommand is required" instead of naming the word it did not expect.
  try {
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::RuntimeError& error) {
    return error.get_exit_code();  // a command's own result, already reported
  } catch (const CLI::ParseError& error) {
    // --help (and any flag that only prints) ends with success.
    if (error.get_exit_code() == 0) return app.exit(error);
    const std::string command = CommandName(app);
    std::cerr << "mksetup: " << error.what() << "\nRun '" << command
              << " --help' for more information.\n";
    return EXIT_USAGE;
  }
  if (app.get_subcommands().empty()) {
    std::cerr << app.help();
    return EXIT_USAGE;
  }
  return 0;
}
