#include "package/package_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const EntryTime kDay{2022, 11, 3, 0, 0, 0, 0};

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out.push_back(' ');
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

std::string ExampleIndex() {
  std::string index;
  AppendDirectoryEntry(index, "sub", 3);
  AppendFileEntry(index, "a.txt", 5, 0, kDay, 5, 0);
  AppendFileEntry(index, "e.txt", 5, 0, kDay, 0, 0);
  AppendEndEntry(index, ENTRY_DIRECTORY_END);
  AppendEndEntry(index, ENTRY_END);
  return index;
}

}  // namespace

TEST(PackageFormatTest, EncodesTheDocumentedIndexExample) {
  std::string index = ExampleIndex();
  EXPECT_EQ(Hex(index),
            "01 73 75 62 00 00 00 00 00 "
            "03 61 2E 74 78 74 00 00 00 00 00 E6 07 0B 03 00 00 00 00 05 00 00 00 00 00 00 00 "
            "03 65 2E 74 78 74 00 00 00 00 00 E6 07 0B 03 00 00 00 00 00 00 00 00 "
            "02 00");
  EXPECT_EQ(index.size(), 61u);
}

TEST(PackageFormatTest, DecodesWhatItEncodes) {
  std::string index = ExampleIndex();
  const auto* data = reinterpret_cast<const uint8_t*>(index.data());
  size_t pos = 0;
  IndexEntry entry;

  size_t n = DecodeIndexEntry(data + pos, index.size() - pos, &entry);
  ASSERT_EQ(n, 9u);
  EXPECT_EQ(entry.type, ENTRY_DIRECTORY);
  EXPECT_EQ(std::string(entry.name, entry.nameLength), "sub");
  pos += n;

  n = DecodeIndexEntry(data + pos, index.size() - pos, &entry);
  ASSERT_EQ(n, 27u);
  EXPECT_EQ(entry.type, ENTRY_FILE);
  EXPECT_EQ(entry.time, kDay);
  EXPECT_EQ(entry.storedSize, 5u);
  EXPECT_EQ(entry.offset, 0u);
  pos += n;

  n = DecodeIndexEntry(data + pos, index.size() - pos, &entry);
  ASSERT_EQ(n, 23u);  // no offset field when the stored size is 0
  EXPECT_EQ(entry.storedSize, 0u);
  pos += n;

  EXPECT_EQ(DecodeIndexEntry(data + pos, index.size() - pos, &entry), 1u);
  EXPECT_EQ(entry.type, ENTRY_DIRECTORY_END);
  EXPECT_EQ(DecodeIndexEntry(data + pos + 1, 1, &entry), 1u);
  EXPECT_EQ(entry.type, ENTRY_END);
}

TEST(PackageFormatTest, EveryCutInsideAnEntryIsReportedAsTruncated) {
  std::string entries;
  AppendDirectoryEntry(entries, "dir", 3);
  AppendFileEntry(entries, "f", 1, ENTRY_COMPRESSED, kDay, 9, 77);
  const auto* data = reinterpret_cast<const uint8_t*>(entries.data());
  IndexEntry entry;
  for (size_t cut = 0; cut < 9; ++cut) {
    EXPECT_EQ(DecodeIndexEntry(data, cut, &entry), 0u) << cut;
  }
  for (size_t cut = 0; cut < entries.size() - 9; ++cut) {
    EXPECT_EQ(DecodeIndexEntry(data + 9, cut, &entry), 0u) << cut;
  }
  ASSERT_EQ(DecodeIndexEntry(data + 9, entries.size() - 9, &entry), entries.size() - 9);
  EXPECT_EQ(entry.flags, ENTRY_COMPRESSED);
  EXPECT_EQ(entry.offset, 77u);
}

TEST(PackageFormatTest, UnknownTypesCarryANameAndFlagsOnly) {
  const uint8_t entry9[] = {9, 'x', 0, 1, 0, 0, 0, 3};
  IndexEntry entry;
  EXPECT_EQ(DecodeIndexEntry(entry9, sizeof entry9, &entry), 7u);
  EXPECT_EQ(entry.type, 9);
  EXPECT_EQ(entry.flags, 1u);
}
