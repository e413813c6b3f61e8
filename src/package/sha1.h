// SHA-1 as FIPS 180-1 defines it. Updates stream: any split of the input gives
// the digest of the whole. The block function is chosen once at run time: the
// x86 SHA extensions where the processor has them, portable code otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t SHA1_DIGEST_SIZE = 20;
inline constexpr size_t SHA1_BLOCK_SIZE = 64;

struct Sha1Context {
  uint32_t count[2];                // bits hashed so far, low word first
  uint32_t state[5];                // chaining words
  uint8_t buffer[SHA1_BLOCK_SIZE];  // bytes not yet hashed
};

void Sha1Init(Sha1Context* context);
// Hashes `length` bytes; a length of zero or less adds nothing.
void Sha1Update(Sha1Context* context, const void* data, int32_t length);
// Hashes any amount, in pieces Sha1Update accepts.
void Sha1UpdateLarge(Sha1Context* context, const void* data, size_t length);
void Sha1Final(Sha1Context* context, uint8_t digest[SHA1_DIGEST_SIZE]);

// The block functions behind Sha1Update, exposed so that tests can check
// both paths against each other. Each hashes `blocks` 64-byte blocks.
using Sha1BlockFunction = void (*)(uint32_t state[5], const uint8_t* data, size_t blocks);
void Sha1BlocksPortable(uint32_t state[5], const uint8_t* data, size_t blocks);
// Null when the processor lacks the SHA extensions (or the build lacks them).
Sha1BlockFunction Sha1BlocksAccelerated();
// Forces the portable path (for tests and benchmarks); returns the previous choice.
bool Sha1UseAccelerated(bool use);
