#include "check_command.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <utility>

#include "builder/script_encoding.h"
#include "builder/script_lint.h"
#include "builder/tree_rules.h"
#include "command_input.h"
#include "display.h"
#include "lint_output.h"
#include "native_fs.h"
#include "tree_scan.h"

namespace {

constexpr char kDescription[] =
    "Lint a setup script before a build. Each finding is printed as\n"
    "FILE:LINE: error|warning: MESSAGE (FILE: ... for the script as a whole;\n"
    "a tree the build would refuse is one error, and its files are not looked up),\n"
    "then a summary line; a clean script prints only \"OK\".\n"
    "Exit code: 0 without errors (warnings alone included, unless --strict), 1 with errors,\n"
    "2 when the script or the tree cannot be read.";

void PrintSummary(const LintCounts& counts) {
  std::cout << (counts.errors == 0 && counts.warnings == 0 ? "OK" : DescribeCounts(counts)) << '\n';
}

}  // namespace

void setup_check(CLI::App& app) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command = app.add_subcommand("check", "Lint a setup script and its picture");
  command->footer(kDescription);
  command
      ->add_option("--script", options->script,
                   "The setup script (UTF-8, or UTF-16 with its byte-order mark)")
      ->required();
  command->add_option("--tree", options->tree,
                      "The folder to install; without it the picture and the product's icon "
                      "are not looked up");
  command->add_flag("--strict", options->strict,
                    "Count warnings as errors (exit code 1), as build --strict refuses them");
  command->add_flag("--follow-links", options->followLinks,
                    "Look into symbolic links of the tree, as build --follow-links does");
  command->callback([options] {
    if (const int code = run_check(*options); code != 0) throw CLI::RuntimeError(code);
  });
}

int run_check(const CheckOptions& options) {
  const std::string subject = DisplayPath(options.script);
  std::string script;
  if (!ReadWholeFile(options.script, &script)) {
    PrintError(subject, std::string("cannot read the script: ") + std::strerror(errno));
    return CHECK_UNREADABLE;
  }
  try {
    script = ScriptTextOfFile(std::move(script));  // what build stores
  } catch (const PackageError& error) {
    std::cout << subject << ": error: " << error.what() << '\n';
    PrintSummary(LintCounts{1, 0});
    return CHECK_ERRORS;
  }
  TreeFileNames files;
  const TreeFileNames* lookUp = nullptr;
  size_t treeErrors = 0;
  if (!options.tree.empty()) {
    if (!IsNativeFolder(options.tree)) {
      PrintError(DisplayPath(options.tree), "cannot read the tree: not a folder");
      return CHECK_UNREADABLE;
    }
    try {
      ScannedTree tree = ScanTree(options.tree, options.followLinks);
      ValidateTree(tree.root);
      files = TreeFileNamesOf(tree.root);
      lookUp = &files;
    } catch (const PackageError& error) {
      // The build would refuse this tree; the script is still checked, but
      // its picture and icon cannot be looked up.
      const std::string where =
          error.path().empty() ? options.tree : options.tree + "/" + error.path();
      std::cout << DisplayPath(where) << ": error: " << error.what() << '\n';
      ++treeErrors;
    }
  }
  LintCounts counts = PrintFindings(std::cout, subject, LintScript(script, lookUp));
  counts.errors += treeErrors;
  PrintSummary(counts);
  return counts.errors == 0 && !(options.strict && counts.warnings != 0) ? CHECK_CLEAN
                                                                         : CHECK_ERRORS;
}
