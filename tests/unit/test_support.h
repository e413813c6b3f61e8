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
