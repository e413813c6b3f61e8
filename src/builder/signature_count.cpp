#include "builder/signature_count.h"

#include <cstring>

#include "base/byte_order.h"
#include "package/pe_signature.h"

namespace {

constexpr uint8_t kSequence = 0x30;
constexpr uint8_t kSet = 0x31;
constexpr uint8_t kObjectId = 0x06;
constexpr uint8_t kExplicit0 = 0xA0;
constexpr uint8_t kImplicit1 = 0xA1;  // a SignerInfo's unauthenticated attributes

// 1.2.840.113549.1.7.2, PKCS#7 signedData.
constexpr uint8_t kSignedDataOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
// 1.3.6.1.4.1.311.2.4.1, Microsoft's nested signature attribute.
constexpr uint8_t kNestedSignatureOid[] = {0x2B, 0x06, 0x01, 0x04, 0x01,
                                           0x82, 0x37, 0x02, 0x04, 0x01};

// Nesting deeper than this is no signature anyone made.
constexpr int kMaxDepth = 8;

// The bytes not yet read of one DER element's contents.
struct Der {
  const uint8_t* bytes = nullptr;
  size_t size = 0;
};

// Reads the next element of `in`: its tag and its contents. False when it
// is cut short or uses a form DER does not allow here.
bool ReadElement(Der& in, uint8_t* tag, Der* contents) {
  if (in.size < 2 || (in.bytes[0] & 0x1F) == 0x1F) return false;
  *tag = in.bytes[0];
  size_t header = 2;
  size_t length = in.bytes[1];
  if ((length & 0x80) != 0) {
    const size_t count = length & 0x7F;
    if (count == 0 || count > 4 || in.size - 2 < count) return false;
    length = 0;
    for (size_t i = 0; i < count; ++i) length = (length << 8) | in.bytes[2 + i];
    header += count;
  }
  if (length > in.size - header) return false;
  contents->bytes = in.bytes + header;
  contents->size = length;
  in.bytes += header + length;
  in.size -= header + length;
  return true;
}

template <size_t N>
bool IsOid(const Der& oid, const uint8_t (&expected)[N]) {
  return oid.size == N && memcmp(oid.bytes, expected, N) == 0;
}

uint32_t CountContentInfo(Der info, int depth);

// One SignerInfo: itself, plus every signature nested in its attributes.
uint32_t CountSigner(Der signer, int depth) {
  uint32_t count = 1;
  uint8_t tag = 0;
  Der field;
  while (ReadElement(signer, &tag, &field)) {
    if (tag != kImplicit1) continue;
    Der attribute;
    while (ReadElement(field, &tag, &attribute)) {
      Der type;
      Der values;
      if (tag != kSequence || !ReadElement(attribute, &tag, &type) || tag != kObjectId ||
          !IsOid(type, kNestedSignatureOid) || !ReadElement(attribute, &tag, &values) ||
          tag != kSet) {
        continue;
      }
      Der nested;
      while (ReadElement(values, &tag, &nested)) {
        if (tag == kSequence) count += CountContentInfo(nested, depth + 1);
      }
    }
  }
  return count;
}

// The contents of a ContentInfo: signedData's OID, then [0] SignedData, whose
// last field is the SET of SignerInfos.
uint32_t CountContentInfo(Der info, int depth) {
  uint8_t tag = 0;
  Der type;
  Der content;
  Der signedData;
  if (depth > kMaxDepth || !ReadElement(info, &tag, &type) || tag != kObjectId ||
      !IsOid(type, kSignedDataOid) || !ReadElement(info, &tag, &content) || tag != kExplicit0 ||
      !ReadElement(content, &tag, &signedData) || tag != kSequence) {
    return 0;
  }
  Der field;
  while (signedData.size != 0) {
    if (!ReadElement(signedData, &tag, &field)) return 0;
  }
  if (tag != kSet) return 0;
  uint32_t count = 0;
  Der signer;
  while (ReadElement(field, &tag, &signer)) {
    if (tag == kSequence) count += CountSigner(signer, depth);
  }
  return count;
}

}  // namespace

uint32_t CountTableSignatures(const uint8_t* table, size_t size) {
  uint32_t count = 0;
  size_t at = 0;
  while (size - at >= CERTIFICATE_HEADER_SIZE) {
    const uint32_t length = DecodeU32(table + at);
    if (length < CERTIFICATE_HEADER_SIZE || length > size - at) break;
    Der record{table + at + CERTIFICATE_HEADER_SIZE, length - CERTIFICATE_HEADER_SIZE};
    uint8_t tag = 0;
    Der info;
    if (DecodeU16(table + at + 6) == CERTIFICATE_TYPE_PKCS_SIGNED_DATA &&
        ReadElement(record, &tag, &info) && tag == kSequence) {
      count += CountContentInfo(info, 0);
    }
    const size_t step = (static_cast<size_t>(length) + 7) & ~size_t{7};
    if (step > size - at) break;
    at += step;
  }
  return count;
}
