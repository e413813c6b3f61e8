#include "signature_report.h"

#include <vector>

#include "builder/signature_count.h"
#include "package/package_reader.h"

namespace {

// Signatures are a few kilobytes; a larger table is read no further than this
// for counting (it still counts as a signature for the digest).
constexpr uint32_t kMaxCountedTable = 16u << 20;

}  // namespace

SignatureReport ReportSignatures(InputFile& file) {
  SignatureReport report;
  CertificateTable table;
  if (!FindPackageSignature(file, &table)) return report;
  report.isSigned = true;
  if (table.size > kMaxCountedTable) return report;
  std::vector<uint8_t> bytes(table.size);
  if (file.Seek(table.offset) && file.Read(bytes.data(), bytes.size()) == bytes.size()) {
    report.signatures = CountTableSignatures(bytes.data(), bytes.size());
  }
  return report;
}

std::string DescribeSignatures(const SignatureReport& report) {
  if (!report.isSigned) return "unsigned";
  if (report.signatures == 0) return "signed: no readable signature";
  return "signed: " + std::to_string(report.signatures) +
         (report.signatures == 1 ? " signature" : " signatures") +
         " (not checked by mksetup: use signtool verify or osslsigncode verify)";
}
