// Helpers shared by the portable tests: deflating test data and assembling
// small packages by hand, independent of the package builder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "package/package_format.h"
#include "script/setup_script.h"

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

Bytes ToBytes(const std::string& text);
// Raw deflate (no header, no checksum) of `data` with zlib; `finish` false
// flushes without the final block, so the stream never ends.
Bytes RawDeflate(const Bytes& data, int level = 9, bool finish = true);
// Deterministic pseudo-random bytes.
Bytes RandomBytes(size_t size, uint32_t seed);
// Bytes that deflate well but not trivially.
Bytes TextLikeBytes(size_t size, uint32_t seed);
// Lower-case hexadecimal of `size` bytes.
std::string Hex(const uint8_t* bytes, size_t size);
// The SHA-1 digest of `data` in hexadecimal, taken in one call.
std::string Sha1Hex(std::string_view data);
inline std::string Sha1Hex(const Bytes& data) {
  return Sha1Hex({reinterpret_cast<const char*>(data.data()), data.size()});
}
// UTF-16 for messages and comparisons: ASCII as it is, other units as \uXXXX.
std::string Narrow(std::u16string_view text);

// A stub of exactly STUB_SIZE bytes with a recognisable pattern.
Bytes FakeStub();
// Stub + digest + flag + length + script + tree, digest computed over it.
Bytes AssemblePackage(const Bytes& stub, uint8_t scriptFlag, const Bytes& script,
                      const Bytes& tree);
// Recomputes the digest of a package in place.
void ResealPackage(Bytes& package);

// The time the tests give entries unless they need another.
inline constexpr EntryTime kEntryTime{2022, 11, 3, 0, 0, 0, 0};

// A tree section with a per-file data area, entry by entry.
struct TreeSection {
  std::string index;
  Bytes data;
  TreeSection& Dir(const std::string& name);
  TreeSection& End(uint8_t type = ENTRY_DIRECTORY_END);
  // `stored` goes into the data area as it is (deflated already when `flags`
  // say ENTRY_COMPRESSED).
  TreeSection& File(const std::string& name, const Bytes& stored, EntryTime time = kEntryTime,
                    uint32_t flags = 0);
  TreeSection& Deflated(const std::string& name, const Bytes& contents, int level = 9);
  // A file entry with any size and offset, and no data of its own.
  TreeSection& RawFile(const std::string& name, uint32_t size, uint32_t offset);
  Bytes Build(bool compressIndex = false) const;
  static Bytes Section(uint8_t flag, const Bytes& index, const Bytes& data);
};

// The format's worked example: a folder "sub" holding "a.txt" ("hello") and
// the empty "e.txt", then the end of the index.
TreeSection WorkedExample();

// A script in a heap block of exactly its size, as the package reader holds
// it, so that the sanitizers see any read past its end.
class HeapScript {
 public:
  explicit HeapScript(std::string_view text);
  ScriptText text() const { return {bytes_.get(), size_}; }
  // The body's lines as WalkBody hands them out; {"(absent)"} for null.
  Lines Body(uint8_t* body) const;
  Lines Section(const LocaleName& locale, const char* name) const {
    return Body(FindSection(text(), locale, name));
  }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t size_;
};

// FakeStub with the headers of a PE image at 0x80 (PE32, or PE32+ when
// `plus`): a CheckSum that is not zero, as a linker leaves it, and an empty
// security entry. Offsets written out here, apart from the code under test.
Bytes PeStub(bool plus = false);
inline constexpr size_t kPeChecksumAt = 0x80 + 24 + 64;
inline constexpr size_t PeSecurityEntryAt(bool plus) { return 0x80 + 24 + (plus ? 108 : 92) + 36; }

// Signs `file` (a PE image) as signing tools do: zero padding to 8 bytes, a
// certificate table with one record of each length in `records` (revision
// 2.0, PKCS signed data, made-up contents), the security entry naming it,
// and a new CheckSum.
void AppendSignature(Bytes& file, bool plus = false, const std::vector<uint32_t>& records = {1200});
