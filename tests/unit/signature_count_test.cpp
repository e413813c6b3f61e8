#include "builder/signature_count.h"

#include <gtest/gtest.h>

#include "base/byte_order.h"
#include "test_support.h"

namespace {

// One DER element (lengths below 64 KiB).
Bytes Der(uint8_t tag, const Bytes& contents) {
  Bytes out{tag};
  if (contents.size() < 0x80) {
    out.push_back(static_cast<uint8_t>(contents.size()));
  } else {
    out.insert(out.end(), {0x82, static_cast<uint8_t>(contents.size() >> 8),
                           static_cast<uint8_t>(contents.size())});
  }
  out.insert(out.end(), contents.begin(), contents.end());
  return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// A ContentInfo with one SignerInfo; `nested` goes into its unsigned
// attributes as nested signatures.
Bytes Signature(const Bytes& nested = {}) {
  const Bytes signedDataOid = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
  const Bytes nestedOid = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x04, 0x01};
  Bytes signer = Join({Der(0x02, {1}), Der(0x30, {}), Der(0x04, RandomBytes(128, 1))});
  if (!nested.empty()) {
    signer = Join({signer, Der(0xA1, Der(0x30, Join({Der(0x06, nestedOid), Der(0x31, nested)})))});
  }
  const Bytes signedData =
      Join({Der(0x02, {1}), Der(0x31, {}), Der(0x30, {}), Der(0x31, Der(0x30, signer))});
  return Der(0x30, Join({Der(0x06, signedDataOid), Der(0xA0, Der(0x30, signedData))}));
}

Bytes Table(const Bytes& certificate, uint32_t declared) {
  Bytes table(8);
  EncodeU32(table.data(), declared);
  EncodeU16(table.data() + 4, 0x0200);
  EncodeU16(table.data() + 6, 2);
  table.insert(table.end(), certificate.begin(), certificate.end());
  table.resize((table.size() + 7) / 8 * 8, 0);
  return table;
}

}  // namespace

TEST(SignatureCountTest, CountsSignersAndNestedSignaturesOfWholeRecordsOnly) {
  const Bytes nested = Signature(Join({Signature(), Signature()}));
  const uint32_t whole = static_cast<uint32_t>(8 + nested.size());
  const Bytes single = Table(Signature(), static_cast<uint32_t>(8 + Signature().size()));
  EXPECT_EQ(CountTableSignatures(single.data(), single.size()), 1u);
  EXPECT_EQ(CountTableSignatures(Table(nested, whole).data(), whole), 3u);
  // A record cut inside its DER counts nothing past the cut, even with the
  // bytes right behind it.
  for (uint32_t cut : {1u, 2u, 5u}) {
    const Bytes table = Table(nested, whole - cut);
    EXPECT_EQ(CountTableSignatures(table.data(), table.size()), 0u) << cut;
  }
}

TEST(SignatureCountTest, HostileRecordsCountNothingAndEndNoWalk) {
  // Nested ten deep: the depth bound stops at nine.
  Bytes deep = Signature();
  for (int i = 0; i < 9; ++i) deep = Signature(deep);
  const Bytes deepTable = Table(deep, static_cast<uint32_t>(8 + deep.size()));
  EXPECT_EQ(CountTableSignatures(deepTable.data(), deepTable.size()), 9u);
  // A length in five bytes is no DER this reads.
  const Bytes signature = Signature();
  Bytes fiveBytes = {0x30, 0x85, 0, 0, 0};
  fiveBytes.insert(fiveBytes.end(), signature.begin() + 2, signature.end());
  const Bytes wide = Table(fiveBytes, static_cast<uint32_t>(8 + fiveBytes.size()));
  EXPECT_EQ(CountTableSignatures(wide.data(), wide.size()), 0u);
  // A record of its header alone is passed over.
  Bytes twoRecords = Table({}, 8);
  const Bytes second = Table(signature, static_cast<uint32_t>(8 + signature.size()));
  twoRecords.insert(twoRecords.end(), second.begin(), second.end());
  EXPECT_EQ(CountTableSignatures(twoRecords.data(), twoRecords.size()), 1u);
}
