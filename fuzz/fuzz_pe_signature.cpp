// Feeds arbitrary files to the search for a signature's certificate table,
// which the stub runs over its own file before it trusts a byte, and the
// table, or failing that the whole input, to the builder's signature count.
#include <cstddef>
#include <cstdint>

#include "builder/signature_count.h"
#include "package/pe_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  MemoryInputFile input(data, size);
  PeSignatureFields fields;
  CertificateTable table;
  if (FindCertificateTable(input, data, size, &fields, &table)) {
    // Both fields and the whole table lie inside the file.
    if (fields.checksumOffset + PE_CHECKSUM_SIZE > size ||
        fields.securityEntryOffset + PE_SECURITY_ENTRY_SIZE > size ||
        table.offset + table.size != size || table.records == 0) {
      __builtin_trap();
    }
    CountTableSignatures(data + table.offset, table.size);
  } else {
    CountTableSignatures(data, size);
  }
  return 0;
}
