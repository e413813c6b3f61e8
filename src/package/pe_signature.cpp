#include "package/pe_signature.h"

#include <cstring>

#include "base/byte_order.h"

namespace {

constexpr size_t kPeSignatureSize = 4;  // "PE\0\0"
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kOptionalHeaderSizeField = 16;  // in the COFF header
constexpr size_t kChecksumField = 64;            // in the optional header, PE32 and PE32+
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
// NumberOfRvaAndSizes, followed by the data directory.
constexpr size_t kPe32DirectoryCount = 92;
constexpr size_t kPe32PlusDirectoryCount = 108;
constexpr uint32_t kSecurityDirectory = 4;
constexpr size_t kDirectoryEntrySize = 8;

constexpr uint64_t AlignUp8(uint64_t value) { return (value + 7) & ~uint64_t{7}; }

}  // namespace

bool FindPeSignatureFields(const uint8_t* head, size_t length, PeSignatureFields* fields) {
  if (length < PE_HEADER_OFFSET_FIELD + 4 || head[0] != 'M' || head[1] != 'Z') return false;
  const uint32_t pe = DecodeU32(head + PE_HEADER_OFFSET_FIELD);
  if (pe > length || length - pe < kPeSignatureSize + kCoffHeaderSize + 2) return false;
  if (memcmp(head + pe, "PE\0\0", kPeSignatureSize) != 0) return false;

  const size_t optional = pe + kPeSignatureSize + kCoffHeaderSize;
  const uint16_t magic = DecodeU16(head + optional);
  size_t count = 0;
  if (magic == kPe32Magic) {
    count = kPe32DirectoryCount;
  } else if (magic == kPe32PlusMagic) {
    count = kPe32PlusDirectoryCount;
  } else {
    return false;
  }
  const size_t entry = count + 4 + kSecurityDirectory * kDirectoryEntrySize;
  const size_t needed = entry + kDirectoryEntrySize;
  const uint16_t declared = DecodeU16(head + pe + kPeSignatureSize + kOptionalHeaderSizeField);
  if (declared < needed || length - optional < needed) return false;
  if (DecodeU32(head + optional + count) <= kSecurityDirectory) return false;

  fields->checksumOffset = static_cast<uint32_t>(optional + kChecksumField);
  fields->securityEntryOffset = static_cast<uint32_t>(optional + entry);
  return true;
}

void ClearPeSignatureFields(uint8_t* head, const PeSignatureFields& fields) {
  memset(head + fields.checksumOffset, 0, PE_CHECKSUM_SIZE);
  memset(head + fields.securityEntryOffset, 0, PE_SECURITY_ENTRY_SIZE);
}

bool FindCertificateTable(InputFile& file, const uint8_t* head, size_t length,
                          PeSignatureFields* fields, CertificateTable* table) {
  const int64_t fileSize = file.Size();
  if (fileSize < 0 || !FindPeSignatureFields(head, length, fields)) return false;
  const uint32_t offset = DecodeU32(head + fields->securityEntryOffset);
  const uint32_t size = DecodeU32(head + fields->securityEntryOffset + 4);
  const uint64_t end = static_cast<uint64_t>(fileSize);
  if (size < CERTIFICATE_HEADER_SIZE || offset % 8 != 0 || size % 8 != 0 ||
      uint64_t{offset} + size != end) {
    return false;
  }

  uint32_t records = 0;
  for (uint64_t at = offset; at != end;) {
    uint8_t header[CERTIFICATE_HEADER_SIZE];
    if (++records > MAX_CERTIFICATES || !file.Seek(at) ||
        file.Read(header, sizeof header) != sizeof header) {
      return false;
    }
    const uint32_t recordLength = DecodeU32(header);
    if (recordLength <= CERTIFICATE_HEADER_SIZE ||
        DecodeU16(header + 4) != CERTIFICATE_REVISION_2 ||
        DecodeU16(header + 6) != CERTIFICATE_TYPE_PKCS_SIGNED_DATA ||
        AlignUp8(recordLength) > end - at) {
      return false;
    }
    at += AlignUp8(recordLength);
  }
  table->offset = offset;
  table->size = size;
  table->records = records;
  return true;
}
