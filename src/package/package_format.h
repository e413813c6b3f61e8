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
//
// The tree flag says how the index and the data are stored: bits 0-3 nonzero
// mean the index is raw deflate (older builders wrote any nonzero value, so
// every low bit counts), bits 4-7 name the data method. Method 0 stores each
// file on its own at its offset, raw deflate when ENTRY_COMPRESSED is set.
// Method 1 (solid LZMA2) stores the files' contents as one stream, file after
// file in index order: a file entry's size S is its length in that stream,
// its offset its position there, its flags 0. The stream is cut into blocks
// of B bytes (the last one shorter), each compressed on its own as raw LZMA2
// ending with LZMA2's end marker, so that a block decodes without the ones
// before it. The data area then holds:
//
//   stream length U (u32) | block size B (u32) | block count K (u32) |
//   LZMA2 dictionary property (1) |
//   K block records: stored size (u32) | CRC-32 of the stored bytes (u32) |
//   the K blocks, back to back
//
// Block k holds stream bytes k*B up to min((k+1)*B, U) and starts behind the
// records at the sum of the stored sizes before it.
//
// Method 2 (record) makes the stub an uninstaller: its index lists what an
// install of its setup writes, file entries with their real sizes, offset 0
// and flags 0, and its data area is empty (length 0). Its script is the
// setup's own. Any other method is unknown: such a package is refused as
// damaged, never guessed at (older stubs refuse a record so, too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/byte_order.h"
#include "base/entry_time.h"

inline constexpr uint32_t STUB_SIZE = 310272;
inline constexpr uint32_t PACKAGE_DIGEST_SIZE = 20;

inline constexpr char PACKAGE_SALT[] =
    "kestravo setup package \r\n assembled by the package writer";
inline constexpr size_t PACKAGE_SALT_SIZE = sizeof(PACKAGE_SALT) - 1;
static_assert(PACKAGE_SALT_SIZE == 57, "the salt is hashed without its NUL");

// The script and the tree's index each start with the same head: a flag
// byte and the length of the stored bytes behind it.
struct SectionHead {
  uint8_t flag = 0;
  uint32_t length = 0;
};
inline constexpr uint32_t SECTION_HEAD_SIZE = 1 + 4;
void EncodeSectionHead(uint8_t* out, const SectionHead& head);
SectionHead DecodeSectionHead(const uint8_t* in);

inline constexpr uint32_t PACKAGE_DIGEST_OFFSET = STUB_SIZE;
inline constexpr uint32_t SCRIPT_FLAG_OFFSET = STUB_SIZE + PACKAGE_DIGEST_SIZE;
inline constexpr uint32_t SCRIPT_LENGTH_OFFSET = SCRIPT_FLAG_OFFSET + 1;
inline constexpr uint32_t SCRIPT_OFFSET = SCRIPT_FLAG_OFFSET + SECTION_HEAD_SIZE;
static_assert(STUB_SIZE == 0x4BC00);
static_assert(SCRIPT_FLAG_OFFSET == 0x4BC14);
static_assert(SCRIPT_OFFSET == 310297);

// Signing tools append their certificate table on an 8-byte boundary; a
// package that ends on one gets no padding of theirs outside the digest.
inline constexpr uint32_t PACKAGE_ALIGNMENT = 8;

// The tree section: its head (the tree flag and the index length), the
// index, then the data area's length.
inline constexpr uint32_t TREE_DATA_LENGTH_SIZE = 4;

inline constexpr uint8_t TREE_INDEX_DEFLATED = 0x01;
inline constexpr uint8_t TREE_INDEX_BITS = 0x0F;
inline constexpr unsigned TREE_METHOD_SHIFT = 4;

enum TreeMethod : uint8_t {
  TREE_METHOD_PER_FILE = 0,
  TREE_METHOD_SOLID_LZMA2 = 1,
  TREE_METHOD_RECORD = 2,
};

// The uninstaller's name in the install folder, and in the setup's tree.
inline constexpr char UNINSTALLER_NAME[] = "uninstall.exe";
// The per-user stub (a manifest that asks for no elevation) beside the
// machine's, for a [product] of Scope=user.
inline constexpr char USER_STUB_NAME[] = "setup-stub-user.exe";

// The per-file method with a deflated index is today's flag value 1 and a
// stored one 0: packages built without asking for solid data are unchanged.
constexpr uint8_t EncodeTreeFlag(bool indexDeflated, TreeMethod method) {
  return static_cast<uint8_t>((method << TREE_METHOD_SHIFT) | (indexDeflated ? 1 : 0));
}
constexpr bool TreeFlagIndexDeflated(uint8_t flag) { return (flag & TREE_INDEX_BITS) != 0; }
constexpr uint8_t TreeFlagMethod(uint8_t flag) { return flag >> TREE_METHOD_SHIFT; }
static_assert(EncodeTreeFlag(false, TREE_METHOD_PER_FILE) == 0);
static_assert(EncodeTreeFlag(true, TREE_METHOD_PER_FILE) == 1);
static_assert(TreeFlagIndexDeflated(0xFF) && TreeFlagMethod(0xFF) == 15);
static_assert(TreeFlagMethod(EncodeTreeFlag(true, TREE_METHOD_SOLID_LZMA2)) ==
              TREE_METHOD_SOLID_LZMA2);

// The head of a solid data area, before its block records.
struct SolidHeader {
  uint32_t streamLength = 0;
  uint32_t blockSize = 0;
  uint32_t blockCount = 0;
  uint8_t dictionaryProperty = 0;
};
struct SolidBlock {
  uint32_t storedSize = 0;
  uint32_t crc = 0;  // CRC-32 (zlib's) of the stored bytes
};
inline constexpr size_t SOLID_HEADER_SIZE = 4 + 4 + 4 + 1;
inline constexpr size_t SOLID_BLOCK_RECORD_SIZE = 4 + 4;
static_assert(SOLID_HEADER_SIZE == 13 && SOLID_BLOCK_RECORD_SIZE == 8);

// Bounds a reader relies on: blocks no smaller than this keep the record
// table below 512 KiB for any stream; the decoder's dictionary, the bulk of a
// setup's memory while it installs, is never larger than the maximum (a
// dictionary larger than a block is cut to the block, which is all a block
// can refer back to).
inline constexpr uint32_t MIN_SOLID_BLOCK_SIZE = 64 * 1024;
inline constexpr uint32_t MAX_SOLID_DICTIONARY_SIZE = 64u << 20;
inline constexpr uint8_t MAX_LZMA2_DICTIONARY_PROPERTY = 40;

// LZMA2's dictionary property p stands for (2 | p & 1) << (p / 2 + 11) bytes
// (p 40: 4 GiB - 1).
constexpr uint64_t Lzma2DictionarySize(uint8_t property) {
  return property >= MAX_LZMA2_DICTIONARY_PROPERTY
             ? 0xFFFFFFFFu
             : uint64_t{2u | (property & 1u)} << (property / 2 + 11);
}
// The smallest property whose dictionary holds `size` bytes.
constexpr uint8_t Lzma2DictionaryProperty(uint64_t size) {
  uint8_t property = 0;
  while (property < MAX_LZMA2_DICTIONARY_PROPERTY && Lzma2DictionarySize(property) < size) {
    ++property;
  }
  return property;
}
static_assert(Lzma2DictionarySize(0) == 4096 && Lzma2DictionarySize(16) == (1u << 20));
static_assert(Lzma2DictionaryProperty(MAX_SOLID_DICTIONARY_SIZE) == 28);
static_assert(Lzma2DictionaryProperty((3u << 20) + 1) == 20);

void EncodeSolidHeader(uint8_t* out, const SolidHeader& header);
// False when the head cannot describe a readable area: a block size below
// MIN_SOLID_BLOCK_SIZE, a block count that does not cover the stream
// exactly, or a dictionary over MAX_SOLID_DICTIONARY_SIZE.
bool DecodeSolidHeader(const uint8_t* in, SolidHeader* header);
void EncodeSolidBlock(uint8_t* out, const SolidBlock& block);
SolidBlock DecodeSolidBlock(const uint8_t* in);

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

// The stub builds "<target>\<relative path>" in a buffer of
// MAX_ENTRY_PATH_UNITS units. The shortest target it can be given is a drive
// ("C:") and the separator behind it takes one more unit, so a relative path
// longer than this cannot be installed anywhere; the stub checks the real
// target at install time.
inline constexpr size_t SHORTEST_TARGET_UNITS = 2;  // "C:"
inline constexpr size_t MAX_RELATIVE_PATH_UNITS = MAX_ENTRY_PATH_UNITS - SHORTEST_TARGET_UNITS - 1;
static_assert(MAX_RELATIVE_PATH_UNITS == 508);

// A file entry's time (base/entry_time.h): year (u16), month, day, hour,
// minute, second, hundredths (one byte each).
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
inline constexpr size_t FILE_NAME_TRAILER_SIZE = 1 + 4;
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
