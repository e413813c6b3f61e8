#include "package/pe_signature.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/byte_order.h"
#include "package/package_format.h"
#include "test_support.h"

namespace {

constexpr uint32_t kTableAt = STUB_SIZE + 3000;

// A PE stub with 3000 bytes behind it, signed: its table starts at kTableAt.
Bytes SignedFile(bool plus, const std::vector<uint32_t>& records = {1200}) {
  Bytes file = PeStub(plus);
  file.resize(file.size() + 3000, 0x5A);
  AppendSignature(file, plus, records);
  return file;
}

void SetTable(Bytes& file, uint32_t offset, uint32_t size) {
  EncodeU32(file.data() + PeSecurityEntryAt(false), offset);
  EncodeU32(file.data() + PeSecurityEntryAt(false) + 4, size);
}

bool Find(const Bytes& file, CertificateTable* table, size_t headLength = 4096) {
  MemoryInputFile input(file.data(), file.size());
  PeSignatureFields fields;
  return FindCertificateTable(input, file.data(), headLength, &fields, table);
}

}  // namespace

TEST(PeSignatureTest, FindsTheFieldsAndAWellFormedTableAtTheEnd) {
  for (bool plus : {false, true}) {
    PeSignatureFields fields;
    Bytes stub = PeStub(plus);
    // An optional header that ends right behind the security entry will do.
    EncodeU16(stub.data() + 0x94, static_cast<uint16_t>(PeSecurityEntryAt(plus) + 8 - 0x98));
    ASSERT_TRUE(FindPeSignatureFields(stub.data(), 4096, &fields)) << plus;
    EXPECT_EQ(fields.checksumOffset, kPeChecksumAt);
    EXPECT_EQ(fields.securityEntryOffset, PeSecurityEntryAt(plus));

    // Records of unaligned length are followed by padding to the next one.
    const Bytes file = SignedFile(plus, {1200, 1203});
    CertificateTable table;
    ASSERT_TRUE(Find(file, &table)) << plus;
    EXPECT_EQ(table.offset, kTableAt);
    EXPECT_EQ(table.offset + table.size, file.size());
    EXPECT_EQ(table.records, 2u);
  }
}

TEST(PeSignatureTest, HostileHeadersAndTablesAreNoSignature) {
  struct Case {
    const char* what;
    std::function<void(Bytes&)> change;
    size_t headLength = 4096;
  } const cases[] = {
      {"no MZ", [](Bytes& f) { f[0] = 'X'; }},
      {"PE offset past the head", [](Bytes& f) { EncodeU32(f.data() + 0x3C, 0xFFFFFFF0); }},
      {"PE offset just before the head's end", [](Bytes& f) { EncodeU32(f.data() + 0x3C, 4090); }},
      {"headers cut by the head's end", [](Bytes&) {}, PeSecurityEntryAt(false) + 7},
      {"no PE signature", [](Bytes& f) { f[0x81] = 'X'; }},
      {"unknown optional header", [](Bytes& f) { EncodeU16(f.data() + 0x98, 0x107); }},
      {"optional header ends in the entry", [](Bytes& f) { EncodeU16(f.data() + 0x94, 135); }},
      {"no security entry", [](Bytes& f) { EncodeU32(f.data() + 0x98 + 92, 4); }},
      {"table past the end", [](Bytes& f) { SetTable(f, static_cast<uint32_t>(f.size()), 8); }},
      {"size wraps to the end in 32 bits",
       [](Bytes& f) { SetTable(f, static_cast<uint32_t>(f.size()) + 8, 0xFFFFFFF8); }},
      {"table not last", [](Bytes& f) { f.resize(f.size() + 8, 0); }},
      {"table starting inside a record", [](Bytes& f) { SetTable(f, kTableAt + 8, 1192); }},
      {"misaligned table", [](Bytes& f) { SetTable(f, kTableAt + 4, 1204); }},
      {"empty table", [](Bytes& f) { SetTable(f, static_cast<uint32_t>(f.size()), 0); }},
      {"record length overflows", [](Bytes& f) { EncodeU32(f.data() + kTableAt, 0xFFFFFFFF); }},
      {"record past the table", [](Bytes& f) { EncodeU32(f.data() + kTableAt, 1208); }},
      {"record without contents", [](Bytes& f) { EncodeU32(f.data() + kTableAt, 8); }},
      {"old revision", [](Bytes& f) { EncodeU16(f.data() + kTableAt + 4, 0x0100); }},
      {"X.509 record", [](Bytes& f) { EncodeU16(f.data() + kTableAt + 6, 1); }},
  };
  for (const Case& c : cases) {
    Bytes file = SignedFile(false);
    c.change(file);
    CertificateTable table;
    EXPECT_FALSE(Find(file, &table, c.headLength)) << c.what;
  }
  CertificateTable table;
  EXPECT_TRUE(Find(SignedFile(false, std::vector<uint32_t>(MAX_CERTIFICATES, 16)), &table));
  EXPECT_FALSE(Find(SignedFile(false, std::vector<uint32_t>(MAX_CERTIFICATES + 1, 16)), &table));
}
