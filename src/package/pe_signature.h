// Where signing a setup program with Authenticode puts its signature. The
// package digest leaves exactly these bytes out (package_format.h), so the
// stub's reader and the builder find them here, in one place.
//
// A PE image's optional header holds a CheckSum field and, as entry 4 of its
// data directory, the security entry: the file offset and size of the
// certificate table. The table is a run of WIN_CERTIFICATE records, each
// dwLength (u32, header included) | wRevision (u16) | wCertificateType (u16)
// | bCertificate, and each starting on an 8-byte boundary.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/input_file.h"

// Where the DOS header keeps the file offset of the PE signature (e_lfanew).
inline constexpr uint32_t PE_HEADER_OFFSET_FIELD = 0x3C;
inline constexpr uint32_t PE_CHECKSUM_SIZE = 4;
inline constexpr uint32_t PE_SECURITY_ENTRY_SIZE = 8;  // table offset (u32), size (u32)
inline constexpr uint32_t CERTIFICATE_HEADER_SIZE = 8;
inline constexpr uint16_t CERTIFICATE_REVISION_2 = 0x0200;
inline constexpr uint16_t CERTIFICATE_TYPE_PKCS_SIGNED_DATA = 2;
// More records than this are not a signature but an attempt to make the
// reader walk for long.
inline constexpr uint32_t MAX_CERTIFICATES = 16;

// File offsets of the two header fields that signing rewrites.
struct PeSignatureFields {
  uint32_t checksumOffset = 0;
  uint32_t securityEntryOffset = 0;
};

// Finds both fields in `head`, the first `length` bytes of a file. False
// unless `head` starts a PE32 or PE32+ image whose headers up to the security
// entry lie wholly inside it.
bool FindPeSignatureFields(const uint8_t* head, size_t length, PeSignatureFields* fields);

// Sets both fields to zero in `head`, as the builder writes them and as the
// digest counts them in a signed setup program.
void ClearPeSignatureFields(uint8_t* head, const PeSignatureFields& fields);

struct CertificateTable {
  uint64_t offset = 0;  // where the table starts: everything before it is the package
  uint32_t size = 0;
  uint32_t records = 0;
};

// Checks the certificate table that the security entry in `head` (the first
// `length` bytes of `file`) names. True only when the table is well-formed:
// it starts and ends on 8-byte boundaries, ends exactly at the end of the
// file, and is tiled by 1 to MAX_CERTIFICATES records of revision 2.0 and
// PKCS signed data, each longer than its header. Leaves the file position
// anywhere.
bool FindCertificateTable(InputFile& file, const uint8_t* head, size_t length,
                          PeSignatureFields* fields, CertificateTable* table);
