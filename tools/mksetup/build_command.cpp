#include "build_command.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "builder/package_writer.h"
#include "builder/script_encoding.h"
#include "builder/script_lint.h"
#include "builder/setup_identity.h"
#include "builder/tree_rules.h"
#include "builder/uninstaller.h"
#include "command_input.h"
#include "display.h"
#include "lint_output.h"
#include "native_fs.h"
#include "progress_bar.h"
#include "script/product_section.h"
#include "sign_command.h"
#include "temporary_file.h"
#include "tree_scan.h"

namespace {

constexpr uint64_t LARGE_SETUP_BYTES = uint64_t{1} << 31;

// Thrown for a failure about one of the command's own files, named in
// `subject`.
struct InputError {
  std::string subject;
  std::string message;
};

std::string ReadInput(const std::string& path, const char* what) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes)) {
    throw InputError{path, std::string("cannot read the ") + what + ": " + std::strerror(errno)};
  }
  return bytes;
}

// Beside mksetup (a build tree, the Windows zip), else where an installation
// keeps it: <prefix>/share/mksetup beside <prefix>/bin.
std::string DefaultStubPath() {
  const std::string folder = ExecutableFolder();
  if (folder.empty()) return "setup-stub.exe";
  const std::string beside = folder + "/setup-stub.exe";
  const std::string installed = folder + "/../share/mksetup/setup-stub.exe";
  std::FILE* probe = OpenNativeFile(beside, "rb");
  if (probe == nullptr && (probe = OpenNativeFile(installed, "rb")) != nullptr) {
    std::fclose(probe);
    return installed;
  }
  if (probe != nullptr) std::fclose(probe);
  return beside;
}

std::string ReadStub(const std::string& path) {
  std::string stub = ReadInput(path, "stub");
  if (stub.size() != STUB_SIZE) {
    throw InputError{path, "the stub is " + std::to_string(stub.size()) +
                               " bytes long; a stub is exactly " + std::to_string(STUB_SIZE) +
                               " bytes (build/bin/setup-stub.exe)"};
  }
  return stub;
}

std::string ReadScript(const std::string& path) {
  std::string script;
  try {
    // Stored as UTF-8 without a byte-order mark, whatever the editor saved.
    script = ScriptTextOfFile(ReadInput(path, "script"));
    ValidateScript(script);
  } catch (const PackageError& error) {
    throw InputError{path, error.what()};
  }
  return script;
}

constexpr char kBuildNotes[] =
    "Before writing anything, build lints the script against the tree as\n"
    "'mksetup check --tree' does and prints the findings to stderr in check's form\n"
    "(FILE:LINE: error|warning: MESSAGE): errors refuse the build, warnings only\n"
    "with --strict.\n"
    "Environment: SOURCE_DATE_EPOCH=SECONDS (since 1970-01-01 UTC), as reproducible\n"
    "builds set it: a file time later than it is stored as it, in the uninstaller's\n"
    "record too.\n"
    "Exit code: 0 built; 1 refused or failed (nothing is left behind); 2 a usage error.";

struct Built {
  WriterResult writer;
  uint64_t setupBytes = 0;  // as written, signature included
};

// The package's share of its files' size, " (12.3 %)", where it says something: a package no
// smaller than its files (a small tree, with its script, index and uninstaller) gains nothing.
std::string RatioNote(uint64_t packageBytes, uint64_t inputBytes) {
  if (packageBytes >= inputBytes) return "";
  char text[32];
  std::snprintf(text, sizeof text, " (%.1f %%)",
                100.0 * static_cast<double>(packageBytes) / static_cast<double>(inputBytes));
  return text;
}

void PrintSummary(const BuildOptions& options, const Built& built, double seconds) {
  const WriterResult& result = built.writer;
  // Every setup carries the same stub: the ratio is the package's alone.
  const uint64_t packageBytes = result.outputBytes - STUB_SIZE;
  std::fprintf(stderr,
               "mksetup: built %s: %llu files, package %s from %s of files%s, setup %s, %.2f s\n",
               DisplayPath(options.output).c_str(), static_cast<unsigned long long>(result.files),
               FormatSize(packageBytes).c_str(), FormatSize(result.inputBytes).c_str(),
               RatioNote(packageBytes, result.inputBytes).c_str(),
               FormatSize(built.setupBytes).c_str(), seconds);
  // Past 2 GiB a file position no longer fits a signed 32-bit number.
  if (result.outputBytes >= LARGE_SETUP_BYTES) {
    std::fprintf(stderr,
                 "mksetup: note: %s is 2 GiB or larger: it needs this project's stub, which "
                 "reads 64-bit file positions; a stub with 32-bit positions cannot install it\n",
                 DisplayPath(options.output).c_str());
  }
}

// Checked first: a missing folder would otherwise surface as a temporary
// file that cannot be created.
void RequireOutputFolder(const std::string& output) {
  const std::string folder = FolderPart(output);
  if (!folder.empty() && !IsNativeFolder(folder)) {
    throw InputError{"", "folder " + DisplayPath(folder) + " does not exist"};
  }
}

// SOURCE_DATE_EPOCH as reproducible builds define it: decimal seconds since
// 1970 UTC. Empty counts as unset.
std::optional<EntryTime> LatestFileTime(const std::string& epoch) {
  if (epoch.empty()) return std::nullopt;
  int64_t seconds = 0;
  const char* end = epoch.data() + epoch.size();
  const auto [stop, error] = std::from_chars(epoch.data(), end, seconds);
  EntryTime latest;
  if (error != std::errc() || stop != end || seconds < 0 ||
      !EntryTimeFromUnix(seconds, 0, &latest)) {
    throw InputError{"", "SOURCE_DATE_EPOCH is \"" + DisplayPath(epoch) +
                             "\", not a number of seconds since 1970-01-01 UTC"};
  }
  return latest;
}

// What check says about the script, said before anything is written.
void LintBeforeWriting(const BuildOptions& options, std::string_view script,
                       const TreeEntry& root) {
  const TreeFileNames files = TreeFileNamesOf(root);
  const LintCounts counts =
      PrintFindings(std::cerr, DisplayPath(options.script), LintScript(script, &files));
  if (counts.errors != 0) {
    throw InputError{options.script, DescribeCounts(counts) + ": nothing built"};
  }
  if (options.strict && counts.warnings != 0) {
    throw InputError{options.script, DescribeCounts(counts) +
                                         ", and --strict refuses warnings: "
                                         "nothing built"};
  }
}

// Where a signing tool wrote the setup, its size is the file's.
uint64_t SetupSize(const std::string& path, uint64_t unsignedSize) {
  std::string error;
  const std::unique_ptr<InputFile> file = OpenPackageFile(path, &error);
  const int64_t size = file ? file->Size() : -1;
  return size < 0 ? unsignedSize : static_cast<uint64_t>(size);
}

// Signing failures name the file signed.
std::unique_ptr<TemporaryFile> Sign(const BuildOptions& options,
                                    std::unique_ptr<TemporaryFile> file,
                                    const std::string& subject) {
  try {
    return SignTemporary(options.signCommand, std::move(file), options.output);
  } catch (const std::runtime_error& error) {
    throw InputError{subject, error.what()};
  }
}

// The stub for the script: a [product] of Scope=user takes the per-user
// stub, given by --user-stub or found beside the machine's under its own
// name, so that a build from either pair of stubs works the same way.
std::string StubPathFor(const BuildOptions& options, std::string_view script) {
  const std::string machine = options.stub.empty() ? DefaultStubPath() : options.stub;
  std::string copy(script);
  if (!ReadPlainProduct(reinterpret_cast<const uint8_t*>(copy.data()), copy.size()).PerUser()) {
    return machine;
  }
  if (!options.userStub.empty()) return options.userStub;
  const size_t cut = machine.find_last_of("/\\");
  return (cut == std::string::npos ? std::string() : machine.substr(0, cut + 1)) + USER_STUB_NAME;
}

// The stub and what the setup says of itself, read once for the setup and
// its uninstaller.
struct StubInput {
  std::string path;
  std::string bytes;
  Product product;        // the plain [product]: the version resource
  std::string copyright;  // its Copyright=
  std::string iconPath;   // --icon, else SetupIcon= beside the script; empty: the stub's
  std::vector<IconImage> icon;
};

StubInput ReadStubInput(const BuildOptions& options, const std::string& script) {
  StubInput input;
  input.path = StubPathFor(options, script);
  input.bytes = ReadStub(input.path);
  input.product = ReadPlainProduct(reinterpret_cast<const uint8_t*>(script.data()), script.size());
  const IdentityKeys keys = ReadIdentityKeys(script);
  input.copyright = keys.copyright;
  input.iconPath = !options.icon.empty()     ? options.icon
                   : !keys.setupIcon.empty() ? FolderPart(options.script) + keys.setupIcon
                                             : std::string();
  if (input.iconPath.empty()) return input;
  try {
    input.icon = ReadIconFile(ReadInput(input.iconPath, "icon"));
  } catch (const IconError& error) {
    throw InputError{input.iconPath, error.what()};
  }
  return input;
}

// The stub of the setup (`role` "Setup") or of its uninstaller ("Uninstall"),
// with the identity its [product] and icon give it. A stub without resources
// (a test's stand-in) carries no version resource, and says so; an icon it
// cannot carry refuses the build.
std::string StubWithIdentity(const StubInput& input, std::string_view role) {
  SetupIdentity identity;
  if (input.product.present) {
    identity.version = ProductVersionInfo(input.product, input.copyright, role);
  }
  identity.icon = input.icon;
  try {
    return WithIdentity(input.bytes, identity);
  } catch (const IconError& error) {
    throw InputError{input.iconPath, error.what()};
  } catch (const std::runtime_error& error) {
    if (!input.icon.empty()) {
      throw InputError{input.path, std::string("cannot take the icon: ") + error.what()};
    }
    if (role == "Setup") {
      std::fprintf(stderr, "mksetup: warning: %s: no version resource written: %s\n",
                   DisplayPath(input.path).c_str(), error.what());
    }
    return input.bytes;
  }
}

// The uninstaller as the setup's tree holds it: written beside the output,
// and signed there when asked, before the setup is.
std::string MakeUninstaller(const BuildOptions& options, std::string_view stub,
                            std::string_view script, const TreeEntry& root,
                            const WriterOptions& writerOptions) {
  auto file = std::make_unique<TemporaryFile>(options.output, "uninstall");
  WriteUninstaller(stub, script, root, file->file(), writerOptions);
  file->Close();
  if (!options.signCommand.empty()) file = Sign(options, std::move(file), UNINSTALLER_NAME);
  return ReadInput(file->path(), "uninstaller");
}

WriterOptions WriterOptionsFor(const BuildOptions& options) {
  WriterOptions writerOptions;
  if (options.method == "lzma2") {
    writerOptions.method = TREE_METHOD_SOLID_LZMA2;
    writerOptions.level = DEFAULT_LZMA_PRESET;
    if (options.level > MAX_LZMA_PRESET) {
      throw InputError{"", "with --method lzma2 the level is the LZMA preset, 1 to 9"};
    }
    if (options.blockSize != 0) {
      if (options.blockSize < MIN_SOLID_BLOCK_SIZE || options.blockSize > (uint64_t{1} << 30)) {
        throw InputError{"", "the block size must be 64 KiB to 1 GiB"};
      }
      writerOptions.solidBlockSize = static_cast<uint32_t>(options.blockSize);
      writerOptions.solidDictionarySize =
          std::min(writerOptions.solidBlockSize, DEFAULT_SOLID_DICTIONARY_SIZE);
    }
  } else if (options.blockSize != 0) {
    throw InputError{"", "--block-size applies to --method lzma2 only"};
  }
  if (options.level != 0) writerOptions.level = options.level;
  writerOptions.jobs =
      options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  writerOptions.store = options.store;
  writerOptions.shareIdenticalFiles = !options.noDedup;
  return writerOptions;
}

Built Build(const BuildOptions& options) {
  RequireOutputFolder(options.output);
  const std::optional<EntryTime> latestTime = LatestFileTime(options.sourceDateEpoch);
  const WriterOptions writerOptions = WriterOptionsFor(options);
  const std::string script = ReadScript(options.script);
  const StubInput stubInput = ReadStubInput(options, script);
  const std::string stub = StubWithIdentity(stubInput, "Setup");
  ScannedTree tree = ScanTree(options.tree, options.followLinks);
  ValidateTree(tree.root);
  const bool withUninstaller = WantsUninstaller(script);
  if (withUninstaller) RefuseUninstallerName(tree.root);
  LintBeforeWriting(options, script, tree.root);
  if (latestTime) ClampFileTimes(tree.root, *latestTime);

  TreeContentSource treeSource(options.tree, options.followLinks);
  std::unique_ptr<UninstallerSource> uninstallerSource;
  if (withUninstaller) {
    std::string uninstaller = MakeUninstaller(options, StubWithIdentity(stubInput, "Uninstall"),
                                              script, tree.root, writerOptions);
    tree.root = WithUninstaller(tree.root, uninstaller.size());
    uninstallerSource = std::make_unique<UninstallerSource>(treeSource, std::move(uninstaller));
  }
  ContentSource& source =
      uninstallerSource ? *uninstallerSource : static_cast<ContentSource&>(treeSource);

  auto output = std::make_unique<TemporaryFile>(options.output, "tmp");
  TemporaryFile spool(options.output, "spool");
  spool.Unlink();
  ProgressBar bar(!options.quiet);
  Built built;
  built.writer =
      WritePackage(stub, script, tree.root, source, spool.file(), output->file(), writerOptions,
                   [&bar](const WriterProgress& progress) { bar.Update(progress); });
  bar.Finish();
  built.setupBytes = built.writer.outputBytes;
  if (!options.signCommand.empty()) {
    output = Sign(options, std::move(output), options.output);
    built.setupBytes = SetupSize(output->path(), built.setupBytes);
  }
  output->CommitAs(options.output);
  return built;
}

}  // namespace

void setup_build(CLI::App& app) {
  auto options = std::make_shared<BuildOptions>();
  CLI::App* command =
      app.add_subcommand("build", "Build a setup program from a script and a folder");
  command
      ->add_option("--script", options->script,
                   "The setup script (UTF-8, or UTF-16 with its byte-order mark)")
      ->required();
  command->add_option("--tree", options->tree, "The folder to install")->required();
  command->add_option("-o,--output", options->output, "The setup program to write")->required();
  command->add_option("--stub", options->stub, "The stub (default: setup-stub.exe beside mksetup)");
  command->add_option("--icon", options->icon,
                      "The setup's icon (.ico; default: [product]'s SetupIcon, else the stub's)");
  command->add_option("--user-stub", options->userStub,
                      "The per-user stub, for a [product] of Scope=user (default: "
                      "setup-stub-user.exe beside the stub)");
  command
      ->add_option("--method", options->method,
                   "deflate (each file on its own; the default) or lzma2 (one solid stream, "
                   "about half the size, slower to build)")
      ->check(CLI::IsMember({"deflate", "lzma2"}));
  command
      ->add_option("--block-size", options->blockSize,
                   "lzma2: bytes per independently compressed block (e.g. 32MiB)")
      ->transform(CLI::AsSizeValue(false));
  command
      ->add_option("--level", options->level,
                   "Compression level, 1 (fast) to 12 (small); with lzma2 the LZMA preset, "
                   "1 to 9")
      ->check(CLI::Range(MIN_COMPRESSION_LEVEL, MAX_COMPRESSION_LEVEL));
  command->add_option("-j,--jobs", options->jobs, "Compression threads (default: every core)")
      ->check(CLI::Range(1u, 1024u));
  command->add_flag("--store", options->store, "Store everything without compression");
  command->add_flag("--no-dedup", options->noDedup,
                    "Store every file on its own, even when its contents repeat");
  command->add_flag("--follow-links", options->followLinks,
                    "Store what symbolic links point at (links must stay inside the tree)");
  command->add_flag("-q,--quiet", options->quiet, "No progress bar and no summary");
  command->add_flag("--strict", options->strict,
                    "Refuse to build when check finds warnings, not only errors");
  command
      ->add_option("--sign-command", options->signCommand,
                   "Sign the setup, and first its uninstaller, with this command line (run by "
                   "/bin/sh; on Windows a program and its arguments): {in} and {out} for a tool "
                   "that writes a signed copy, {file} for one that signs in place; mksetup puts "
                   "in the quoted paths")
      ->check(CLI::Validator(
          [](const std::string& commandLine) {
            const char* why = CheckSignCommand(commandLine);
            return why == nullptr ? std::string() : std::string(why);
          },
          ""))
      ->type_name("CMD");
  command->footer(kBuildNotes);
  command->callback([options] {
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) options->sourceDateEpoch = epoch;
    if (const int code = run_build(*options); code != 0) throw CLI::RuntimeError(code);
  });
}

int run_build(const BuildOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  try {
    const Built built = Build(options);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!options.quiet) PrintSummary(options, built, elapsed.count());
    return 0;
  } catch (const InputError& error) {
    PrintError(DisplayPath(error.subject), error.message);
  } catch (const PackageError& error) {
    // Refusals name the entry by its path inside the tree.
    PrintError(DisplayPath(error.path()), error.what());
  } catch (const std::exception& error) {
    PrintError("", error.what());
  }
  return 1;
}
