// Whether a setup program is signed, for verify and list.
#pragma once

#include <cstdint>
#include <string>

#include "platform/input_file.h"

struct SignatureReport {
  bool isSigned = false;    // it carries a certificate table the digest leaves out
  uint32_t signatures = 0;  // readable signatures in that table, nested ones included
};

// Looks at the certificate table of the setup program in `file`.
SignatureReport ReportSignatures(InputFile& file);

// "unsigned", "signed: 1 signature", "signed: 2 signatures"...
std::string DescribeSignatures(const SignatureReport& report);
