#include "sign_command.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "native_fs.h"
#include "package/package_reader.h"
#include "run_command.h"

namespace {

constexpr std::string_view kIn = "{in}";
constexpr std::string_view kOut = "{out}";
constexpr std::string_view kFile = "{file}";

bool Holds(std::string_view text, std::string_view placeholder) {
  return text.find(placeholder) != std::string_view::npos;
}

// Why the file a signing tool left is not a setup whose package verifies
// (a tool that changed more than signing may change); null when it is one.
const char* WhyNotVerified(const std::string& path) {
  std::string error;
  const std::unique_ptr<InputFile> file = OpenPackageFile(path, &error);
  if (!file) return "the sign command left no signed file";
  PackageInfo info;
  if (ReadPackageFrom(*file, &info) == PACKAGE_VERIFIED) return nullptr;
  return "after the sign command the package no longer verifies: signing may change only the "
         "PE checksum and security entry, and append a certificate table";
}

}  // namespace

const char* CheckSignCommand(std::string_view command) {
  const bool copies = Holds(command, kIn) || Holds(command, kOut);
  if (copies && Holds(command, kFile)) {
    return "use {in} and {out} (the tool writes a signed copy) or {file} (it signs in place), "
           "not both";
  }
  if (copies && !(Holds(command, kIn) && Holds(command, kOut))) {
    return "a command with {in} needs {out} too, and one with {out} needs {in}";
  }
  if (!copies && !Holds(command, kFile)) {
    return "the command names no file: give {in} and {out} (the tool writes a signed copy) or "
           "{file} (it signs in place)";
  }
  return nullptr;
}

std::string ExpandSignCommand(std::string_view command, const std::string& in,
                              const std::string& out) {
  const std::pair<std::string_view, const std::string*> placeholders[] = {
      {kIn, &in}, {kFile, &in}, {kOut, &out}};
  std::string expanded;
  // Left to right, so that a path holding a placeholder's text stays as it is.
  for (size_t at = 0; at < command.size();) {
    const auto match = std::find_if(
        std::begin(placeholders), std::end(placeholders),
        [&](const auto& placeholder) { return command.substr(at).starts_with(placeholder.first); });
    if (match == std::end(placeholders)) {
      expanded += command[at++];
    } else {
      expanded += *match->second;
      at += match->first.size();
    }
  }
  return expanded;
}

std::unique_ptr<TemporaryFile> SignTemporary(std::string_view command,
                                             std::unique_ptr<TemporaryFile> file,
                                             const std::string& target) {
  file->Close();
  std::unique_ptr<TemporaryFile> signedFile;
  if (!Holds(command, kFile)) {
    signedFile = std::make_unique<TemporaryFile>(target, "signed");
    // Tools that write a copy (osslsigncode) refuse to write over a file.
    signedFile->Vacate();
  }
  const std::string& result = signedFile ? signedFile->path() : file->path();
  std::string error;
  const int code = RunCommandLine(
      ExpandSignCommand(command, QuoteArgument(file->path()), QuoteArgument(result)), &error);
  if (code < 0) throw std::runtime_error("the sign command failed: " + error);
  if (code != 0) {
    throw std::runtime_error("the sign command failed (exit code " + std::to_string(code) + ")");
  }
  if (const char* why = WhyNotVerified(result)) throw std::runtime_error(why);
  return signedFile ? std::move(signedFile) : std::move(file);
}
