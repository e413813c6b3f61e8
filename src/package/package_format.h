// The package format, shared by the stub (which reads it) and the package
// builder (which writes it). Every constant and record layout lives here once.
//
// A setup program is the stub followed by its package:
//
//   offset 0        stub executable, zero-padded to STUB_SIZE bytes
//   STUB_SIZE       20-byte SHA-1 digest
//   STUB_SIZE + 20  script flag (1 byte, nonzero = raw deflate)
//   STUB_SIZE + 21  script length L (u32, stored bytes)
//   STUB_SIZE + 25  L script bytes
//   tree offset T   index flag (1 byte), index length N (u32), N index bytes,
//                   data area length (u32), data area
//
// The digest is SHA-1 over PACKAGE_SALT, the stub bytes and every byte behind
// the digest. All integers are little-endian and unaligned. The builder pads
// the package with zero bytes to a multiple of PACKAGE_ALIGNMENT; the padding
// is hashed like the rest, and readers never look behind the tree's data.
//
// Signed setup programs: when the PE security entry names a well-formed
// certificate table that ends exactly at the end of the file (pe_signature.h),
// the package ends where the table begins, and the PE CheckSum and the
// security entry count as zero in the stub bytes hashed. The builder writes
// both as zero, so the two views agree before signing. Otherwise every byte
// counts, as it always did. Reason: Authenticode signing rewrites exactly
// those two fields and appends the table, and a setup must still verify once
// signed, while a change anywhere else still fails.
//
// Index entries, depth first; a directory's children follow it and end with
// one ENTRY_DIRECTORY_END byte; the top level ends with ENTRY_END:
//
//   type (1) | name (UTF-8) NUL | flags (u32)                      directory
//   type (1) | name NUL | flags | time (8) | size S (u32) [| offset (u32)]  file
//
// The offset field is present only when S is not 0; it is relative to the
// start of the data area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "package/byte_order.h"

inline constexpr uint32_t STUB_SIZE = 310272;
inline constexpr uint32_t PACKAGE_DIGEST_SIZE = 20;

inline constexpr char PACKAGE_SALT[] =
    "kestravo setup package \r\n assembled by the package writer";
inline constexpr size_t PACKAGE_SALT_SIZE = sizeof(PACKAGE_SALT) - 1;
static_assert(PACKAGE_SALT_SIZE == 57, "the salt is hashed without its NUL");

inline constexpr uint32_t PACKAGE_DIGEST_OFFSET = STUB_SIZE;
inline constexpr uint32_t SCRIPT_FLAG_OFFSET = STUB_SIZE + PACKAGE_DIGEST_SIZE;
inline constexpr uint32_t SCRIPT_LENGTH_OFFSET = SCRIPT_FLAG_OFFSET + 1;
inline constexpr uint32_t SCRIPT_OFFSET = SCRIPT_LENGTH_OFFSET + 4;
static_assert(STUB_SIZE == 0x4BC00);
static_assert(SCRIPT_FLAG_OFFSET == 0x4BC14);
static_assert(SCRIPT_OFFSET == 310297);

// Signing tools append their certificate table on an 8-byte boundary; a
// package that ends on one gets no padding of theirs outside the digest.
inline constexpr uint32_t PACKAGE_ALIGNMENT = 8;

// Tree section header, relative to the tree offset.
inline constexpr uint32_t TREE_FLAG_SIZE = 1;
inline constexpr uint32_t TREE_INDEX_LENGTH_SIZE = 4;
inline constexpr uint32_t TREE_DATA_LENGTH_SIZE = 4;

enum EntryType : uint8_t {
  ENTRY_END = 0,
  ENTRY_DIRECTORY = 1,
  ENTRY_DIRECTORY_END = 2,
  ENTRY_FILE = 3,
};

inline constexpr uint32_t ENTRY_COMPRESSED = 1;

// Limits the stub's fixed path handling imposes on every package.
inline constexpr size_t MAX_ENTRY_NAME_BYTES = 510;
inline constexpr size_t MAX_ENTRY_PATH_UNITS = 511;

// A file entry's time, taken as UTC.
struct EntryTime {
  uint16_t year = 0;
  uint8_t month = 0;
  uint8_t day = 0;
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t second = 0;
  uint8_t hundredths = 0;

  bool operator==(const EntryTime&) const = default;
};
inline constexpr size_t ENTRY_TIME_SIZE = 8;

// One decoded index entry. `name` points into the index and is not
// NUL-terminated in this view; `nameLength` excludes the NUL.
struct IndexEntry {
  uint8_t type = ENTRY_END;
  const char* name = nullptr;
  size_t nameLength = 0;
  uint32_t flags = 0;
  EntryTime time;           // file entries only
  uint32_t storedSize = 0;  // file entries only
  uint32_t offset = 0;      // file entries with storedSize != 0 only
};

// Fixed part of an entry behind its name: NUL + flags.
inline constexpr size_t ENTRY_NAME_TRAILER_SIZE = 1 + 4;
// A file entry's fields behind the flags: time + stored size.
inline constexpr size_t FILE_ENTRY_FIXED_SIZE = ENTRY_TIME_SIZE + 4;

// Appends the encoded entry to `out`. The caller guarantees a name of at most
// MAX_ENTRY_NAME_BYTES bytes without NUL.
void AppendDirectoryEntry(std::string& out, const char* name, size_t nameLength);
void AppendFileEntry(std::string& out, const char* name, size_t nameLength, uint32_t flags,
                     const EntryTime& time, uint32_t storedSize, uint32_t offset);
void AppendEndEntry(std::string& out, uint8_t type);

// Decodes the entry starting at `data` with `available` bytes left in the
// index. On success fills `entry` and returns the entry's encoded length
// (at least 1). Returns 0 when the entry is cut short by the end of the index:
// a name without its NUL, or missing fixed fields.
size_t DecodeIndexEntry(const uint8_t* data, size_t available, IndexEntry* entry);

void EncodeEntryTime(uint8_t* out, const EntryTime& time);
EntryTime DecodeEntryTime(const uint8_t* in);
