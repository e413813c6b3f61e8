#include "extract_command.h"

#include <iostream>
#include <memory>

#include "base/utf8.h"
#include "command_input.h"
#include "display.h"
#include "native_fs.h"
#include "package/tree_walker.h"

namespace {

// Names each entry that was skipped or came out incomplete (the package
// itself for trouble with the whole tree), and tells damage apart.
class IssuePrinter final : public ExtractObserver {
 public:
  explicit IssuePrinter(std::string package) : package_(std::move(package)) {}

  void OnIssue(ExtractIssue issue, std::u16string_view parent, std::string_view name,
               bool isDirectory) override {
    std::string path = WideToUtf8(parent);
    for (char& c : path) {
      if (c == '\\') c = '/';
    }
    if (!path.empty() && !name.empty()) path += '/';
    path += DisplayPath(name);
    if (isDirectory) path += '/';
    PrintError(path.empty() ? package_ : path, DescribeExtractIssue(issue));
    damaged = damaged || issue == EXTRACT_DATA_CUT_SHORT || issue == EXTRACT_INFLATE_FAILED ||
              issue == EXTRACT_INDEX_CUT_SHORT || issue == EXTRACT_TREE_DAMAGED;
  }

  bool damaged = false;

 private:
  std::string package_;
};

}  // namespace

void setup_extract(CLI::App& app) {
  auto options = std::make_shared<ExtractCommandOptions>();
  CLI::App* command = app.add_subcommand(
      "extract", "Write the file tree of a setup program into a folder, as the setup would");
  command->add_option("file", options->file, "The setup program")->required();
  command->add_option("directory", options->directory, "The folder to extract into (created)")
      ->required();
  command->add_flag("-q,--quiet", options->quiet, "No summary");
  command->callback([options] {
    if (const int code = run_extract(*options); code != 0) throw CLI::RuntimeError(code);
  });
}

int run_extract(const ExtractCommandOptions& options) {
  std::unique_ptr<InputFile> file;
  PackageInfo info;
  if (const int code = OpenVerifiedPackage(options.file, &file, &info); code != 0) return code;
  // Its sizes would make empty files of what is not there; nothing is
  // written, not even the folder.
  if (info.treeMethod == TREE_METHOD_RECORD) {
    std::cerr << "mksetup: " << DisplayPath(options.file)
              << ": an uninstaller: its tree lists what its setup installs and holds no data; "
                 "nothing to extract\n";
    return 0;
  }

  std::unique_ptr<TreeOutput> output = OpenExtractTarget(options.directory);
  IssuePrinter printer(DisplayPath(options.file));
  ExtractOptions extractOptions;
  extractOptions.observer = &printer;
  extractOptions.decodeWorkers = kDecodeWorkersAuto;
  const ExtractStats stats = ExtractTree(*file, info.treeOffset, *output, extractOptions);

  if (!options.quiet || !stats.Clean()) {
    std::cerr << "mksetup: extracted " << stats.filesWritten << " files into "
              << DisplayPath(options.directory);
    if (stats.skipped != 0) std::cerr << "; " << stats.skipped << " entries skipped";
    if (stats.failed != 0) std::cerr << "; " << stats.failed << " files failed";
    std::cerr << '\n';
  }
  if (printer.damaged) return EXTRACT_EXIT_DAMAGED;
  return stats.Clean() ? 0 : EXTRACT_EXIT_INCOMPLETE;
}
