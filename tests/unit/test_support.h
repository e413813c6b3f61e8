// Helpers shared by the portable tests: deflating test data and assembling
// small packages by hand, independent of the package builder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text);
// Raw deflate (no header, no checksum) of `data` with zlib.
Bytes RawDeflate(const Bytes& data, int level = 9);
// Deterministic pseudo-random bytes.
Bytes RandomBytes(size_t size, uint32_t seed);
// Bytes that deflate well but not trivially.
Bytes TextLikeBytes(size_t size, uint32_t seed);

// A stub of exactly STUB_SIZE bytes with a recognisable pattern.
Bytes FakeStub();
// Stub + digest + flag + length + script + tree, digest computed over it.
Bytes AssemblePackage(const Bytes& stub, uint8_t scriptFlag, const Bytes& script,
                      const Bytes& tree);
// Recomputes the digest of a package in place.
void ResealPackage(Bytes& package);

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
