#include "verify_command.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

#include "command_input.h"
#include "display.h"
#include "package/package_format.h"
#include "package/package_reader.h"
#include "signature_report.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t size) {
  std::string text;
  char pair[3];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
    text += pair;
  }
  return text;
}

// The script length as stored; 0 when it cannot be read.
uint64_t ScriptLength(InputFile& file) {
  uint8_t length[4];
  if (!file.Seek(SCRIPT_LENGTH_OFFSET) || file.Read(length, sizeof length) != sizeof length) {
    return 0;
  }
  return DecodeU32(length);
}

// Says what exactly is wrong with a package the reader rejected.
std::string DescribeCorruption(InputFile& file) {
  uint8_t computed[PACKAGE_DIGEST_SIZE];
  uint8_t stored[PACKAGE_DIGEST_SIZE];
  if (!ComputePackageDigest(file, computed, stored)) {
    return "the file is too short to hold a package";
  }
  if (std::memcmp(computed, stored, sizeof computed) != 0) {
    return "digest mismatch: the package is damaged (stored " + Hex(stored, sizeof stored) +
           ", computed " + Hex(computed, sizeof computed) + ")";
  }
  if (!IsReadableTreeMethod(file, SCRIPT_OFFSET + ScriptLength(file))) {
    return "the package's data is stored in a way this version does not know, or its "
           "solid data's head is damaged";
  }
  return "the package is damaged: its script runs past the end of the file or inflates to "
         "more than its size allows";
}

}  // namespace

void setup_verify(CLI::App& app) {
  auto options = std::make_shared<VerifyOptions>();
  CLI::App* command = app.add_subcommand("verify", "Check the digest of a setup program");
  command->add_option("file", options->file, "The setup program")->required();
  command->callback([options] {
    if (const int code = run_verify(*options); code != 0) throw CLI::RuntimeError(code);
  });
}

int run_verify(const VerifyOptions& options) {
  std::unique_ptr<InputFile> file;
  PackageInfo info;
  if (const int code = OpenVerifiedPackage(options.file, &file, &info, DescribeCorruption)) {
    return code;
  }
  std::cout << "OK\n" << DescribeSignatures(ReportSignatures(*file)) << '\n';
  return 0;
}
