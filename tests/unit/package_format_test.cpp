#include "package/package_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace {

// The format's worked example, byte by byte: "sub" holding "a.txt" (5 bytes
// at offset 0) and the empty "e.txt", in 61 bytes.
const Bytes kExampleIndex = {
    0x01, 's',  'u',  'b',  0x00, 0x00, 0x00, 0x00, 0x00,                    // folder
    0x03, 'a',  '.',  't',  'x',  't',  0x00, 0x00, 0x00, 0x00, 0x00,        // file
    0xE6, 0x07, 0x0B, 0x03, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00,  // time, size
    0x00, 0x00, 0x00, 0x00,                                                  // offset
    0x03, 'e',  '.',  't',  'x',  't',  0x00, 0x00, 0x00, 0x00, 0x00,        // empty file
    0xE6, 0x07, 0x0B, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // no offset
    0x02, 0x00};

}  // namespace

TEST(PackageFormatTest, TheWorkedIndexExampleBothWays) {
  const std::string index = WorkedExample().index;
  ASSERT_EQ(Bytes(index.begin(), index.end()), kExampleIndex);
  struct Expected {
    size_t length;
    uint8_t type;
    std::string name;
    uint32_t storedSize;
  } const expected[] = {{9, ENTRY_DIRECTORY, "sub", 0},
                        {27, ENTRY_FILE, "a.txt", 5},
                        {23, ENTRY_FILE, "e.txt", 0},
                        {1, ENTRY_DIRECTORY_END, "", 0},
                        {1, ENTRY_END, "", 0}};
  const uint8_t* at = kExampleIndex.data();
  for (const Expected& e : expected) {
    IndexEntry entry;
    ASSERT_EQ(DecodeIndexEntry(at, kExampleIndex.data() + kExampleIndex.size() - at, &entry),
              e.length);
    EXPECT_EQ(entry.type, e.type);
    EXPECT_EQ(std::string(entry.name == nullptr ? "" : entry.name, entry.nameLength), e.name);
    EXPECT_EQ(entry.storedSize, e.storedSize);
    if (e.type == ENTRY_FILE) {
      EXPECT_EQ(entry.time, kEntryTime);
    }
    at += e.length;
  }
}

TEST(PackageFormatTest, EveryCutInsideAnEntryIsReportedAsTruncated) {
  std::string entries;
  AppendDirectoryEntry(entries, "dir", 3);
  AppendFileEntry(entries, "f", 1, ENTRY_COMPRESSED, kEntryTime, 9, 77);
  const auto* data = reinterpret_cast<const uint8_t*>(entries.data());
  IndexEntry entry;
  for (size_t cut = 0; cut < 9; ++cut) EXPECT_EQ(DecodeIndexEntry(data, cut, &entry), 0u) << cut;
  for (size_t cut = 0; cut < entries.size() - 9; ++cut) {
    EXPECT_EQ(DecodeIndexEntry(data + 9, cut, &entry), 0u) << cut;
  }
  ASSERT_EQ(DecodeIndexEntry(data + 9, entries.size() - 9, &entry), entries.size() - 9);
  EXPECT_EQ(entry.flags, ENTRY_COMPRESSED);
  EXPECT_EQ(entry.offset, 77u);

  // Unknown types carry a name and flags only.
  const uint8_t entry9[] = {9, 'x', 0, 1, 0, 0, 0, 3};
  EXPECT_EQ(DecodeIndexEntry(entry9, sizeof entry9, &entry), 7u);
  EXPECT_EQ(entry.type, 9);
  EXPECT_EQ(entry.flags, 1u);
}

TEST(PackageFormatTest, SectionAndSolidHeads) {
  uint8_t head[SECTION_HEAD_SIZE];
  EncodeSectionHead(head, {0x11, 0x01020304});
  EXPECT_EQ(Bytes(head, head + sizeof head), (Bytes{0x11, 0x04, 0x03, 0x02, 0x01}));
  const SectionHead decoded = DecodeSectionHead(head);
  EXPECT_EQ(decoded.flag, 0x11);
  EXPECT_EQ(decoded.length, 0x01020304u);

  // A solid head is readable when its blocks cover the stream exactly, are
  // no smaller than the minimum, and its dictionary stays within the maximum.
  constexpr uint32_t B = MIN_SOLID_BLOCK_SIZE;
  struct Case {
    SolidHeader header;
    bool readable;
  } const cases[] = {
      {{0, B, 0, 0}, true},      {{B, B, 1, 28}, true},
      {{B + 1, B, 2, 0}, true},  {{B - 1, B, 1, 0}, true},
      {{B + 1, B, 1, 0}, false}, {{B, B, 2, 0}, false},
      {{0, B, 1, 0}, false},     {{1, B - 1, 1, 0}, false},
      {{1, B, 1, 29}, false},    {{0xFFFFFFFF, 0xFFFFFFFF, 1, 0}, true},
  };
  for (const Case& c : cases) {
    uint8_t bytes[SOLID_HEADER_SIZE];
    EncodeSolidHeader(bytes, c.header);
    SolidHeader read;
    EXPECT_EQ(DecodeSolidHeader(bytes, &read), c.readable) << c.header.streamLength;
    EXPECT_EQ(read.blockCount, c.header.blockCount);
  }
}
