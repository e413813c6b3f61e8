#include "package/sha1.h"

#include <atomic>
#include <cstring>

// The round helpers are tiny and called 80 times per block; -Os would keep
// them as calls, which halves the speed of the portable path.
#define SHA1_INLINE inline __attribute__((always_inline))

namespace {

SHA1_INLINE uint32_t Rotl(uint32_t value, int bits) {
  return (value << bits) | (value >> (32 - bits));
}

inline uint32_t LoadBigEndian(const uint8_t* in) {
  return (static_cast<uint32_t>(in[0]) << 24) | (static_cast<uint32_t>(in[1]) << 16) |
         (static_cast<uint32_t>(in[2]) << 8) | static_cast<uint32_t>(in[3]);
}

inline void StoreBigEndian(uint8_t* out, uint32_t value) {
  out[0] = static_cast<uint8_t>(value >> 24);
  out[1] = static_cast<uint8_t>(value >> 16);
  out[2] = static_cast<uint8_t>(value >> 8);
  out[3] = static_cast<uint8_t>(value);
}

// The schedule lives in a 16-word ring: word t is rebuilt in place from the
// words 3, 8, 14 and 16 places behind it, which keeps the working set in registers.
SHA1_INLINE uint32_t Schedule(uint32_t w[16], int t) {
  uint32_t next = Rotl(w[(t + 13) & 15] ^ w[(t + 8) & 15] ^ w[(t + 2) & 15] ^ w[t & 15], 1);
  w[t & 15] = next;
  return next;
}

SHA1_INLINE uint32_t Choose(uint32_t b, uint32_t c, uint32_t d) { return d ^ (b & (c ^ d)); }
SHA1_INLINE uint32_t Parity(uint32_t b, uint32_t c, uint32_t d) { return b ^ c ^ d; }
SHA1_INLINE uint32_t Majority(uint32_t b, uint32_t c, uint32_t d) {
  return (b & c) | (d & (b | c));
}

SHA1_INLINE uint32_t Word(uint32_t w[16], int t) { return t < 16 ? w[t] : Schedule(w, t); }

// One round with the roles of the five words passed in rotated order, so that
// no moves between variables are needed: the caller rotates the arguments.
template <uint32_t (*F)(uint32_t, uint32_t, uint32_t), uint32_t K>
SHA1_INLINE void Round(uint32_t a, uint32_t& b, uint32_t c, uint32_t d, uint32_t& e, uint32_t w) {
  e += Rotl(a, 5) + F(b, c, d) + K + w;
  b = Rotl(b, 30);
}

// Five rounds bring the words back to their starting roles; t is the first round.
template <uint32_t (*F)(uint32_t, uint32_t, uint32_t), uint32_t K>
SHA1_INLINE void FiveRounds(uint32_t v[5], uint32_t w[16], int t) {
  uint32_t& a = v[0];
  uint32_t& b = v[1];
  uint32_t& c = v[2];
  uint32_t& d = v[3];
  uint32_t& e = v[4];
  Round<F, K>(a, b, c, d, e, Word(w, t + 0));
  Round<F, K>(e, a, b, c, d, Word(w, t + 1));
  Round<F, K>(d, e, a, b, c, Word(w, t + 2));
  Round<F, K>(c, d, e, a, b, Word(w, t + 3));
  Round<F, K>(b, c, d, e, a, Word(w, t + 4));
}

void HashBlock(uint32_t state[5], const uint8_t* data) {
  uint32_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian(data + 4 * i);
  uint32_t v[5] = {state[0], state[1], state[2], state[3], state[4]};
  for (int t = 0; t < 20; t += 5) FiveRounds<Choose, 0x5A827999>(v, w, t);
  for (int t = 20; t < 40; t += 5) FiveRounds<Parity, 0x6ED9EBA1>(v, w, t);
  for (int t = 40; t < 60; t += 5) FiveRounds<Majority, 0x8F1BBCDC>(v, w, t);
  for (int t = 60; t < 80; t += 5) FiveRounds<Parity, 0xCA62C1D6>(v, w, t);
  for (int i = 0; i < 5; ++i) state[i] += v[i];
}

// Null until the first use; then the block function every update goes through.
std::atomic<Sha1BlockFunction> g_blocks{nullptr};

Sha1BlockFunction Blocks() {
  Sha1BlockFunction blocks = g_blocks.load(std::memory_order_relaxed);
  if (blocks == nullptr) {
    blocks = Sha1BlocksAccelerated();
    if (blocks == nullptr) blocks = Sha1BlocksPortable;
    g_blocks.store(blocks, std::memory_order_relaxed);
  }
  return blocks;
}

}  // namespace

void Sha1BlocksPortable(uint32_t state[5], const uint8_t* data, size_t blocks) {
  for (; blocks > 0; --blocks, data += SHA1_BLOCK_SIZE) HashBlock(state, data);
}

bool Sha1UseAccelerated(bool use) {
  Sha1BlockFunction accelerated = Sha1BlocksAccelerated();
  bool previous = accelerated != nullptr && Blocks() == accelerated;
  g_blocks.store(use && accelerated != nullptr ? accelerated : Sha1BlocksPortable,
                 std::memory_order_relaxed);
  return previous;
}

void Sha1Init(Sha1Context* context) {
  context->count[0] = 0;
  context->count[1] = 0;
  context->state[0] = 0x67452301;
  context->state[1] = 0xEFCDAB89;
  context->state[2] = 0x98BADCFE;
  context->state[3] = 0x10325476;
  context->state[4] = 0xC3D2E1F0;
}

void Sha1Update(Sha1Context* context, const void* data, int32_t length) {
  if (length <= 0) return;
  const auto* in = static_cast<const uint8_t*>(data);
  auto size = static_cast<uint32_t>(length);
  size_t pending = (context->count[0] >> 3) & (SHA1_BLOCK_SIZE - 1);
  uint32_t low = context->count[0] + (size << 3);
  if (low < context->count[0]) ++context->count[1];
  context->count[0] = low;
  context->count[1] += size >> 29;

  if (pending > 0) {
    size_t take = SHA1_BLOCK_SIZE - pending;
    if (size < take) {
      std::memcpy(context->buffer + pending, in, size);
      return;
    }
    std::memcpy(context->buffer + pending, in, take);
    Blocks()(context->state, context->buffer, 1);
    in += take;
    size -= static_cast<uint32_t>(take);
  }
  // Whole blocks go straight from the caller's memory, all in one call.
  size_t whole = size / SHA1_BLOCK_SIZE;
  if (whole > 0) Blocks()(context->state, in, whole);
  std::memcpy(context->buffer, in + whole * SHA1_BLOCK_SIZE, size % SHA1_BLOCK_SIZE);
}

void Sha1UpdateLarge(Sha1Context* context, const void* data, size_t length) {
  // A whole number of blocks per piece keeps every piece on the fast path.
  constexpr size_t kPiece = size_t{1} << 30;
  const auto* in = static_cast<const uint8_t*>(data);
  while (length > 0) {
    size_t piece = length < kPiece ? length : kPiece;
    Sha1Update(context, in, static_cast<int32_t>(piece));
    in += piece;
    length -= piece;
  }
}

void Sha1Final(Sha1Context* context, uint8_t digest[SHA1_DIGEST_SIZE]) {
  uint8_t length[8];
  StoreBigEndian(length, context->count[1]);
  StoreBigEndian(length + 4, context->count[0]);
  // Pad with 0x80 and zeros up to 56 bytes past a block boundary, then the length.
  static const uint8_t kPadding[SHA1_BLOCK_SIZE] = {0x80};
  size_t pending = (context->count[0] >> 3) & (SHA1_BLOCK_SIZE - 1);
  size_t pad = pending < 56 ? 56 - pending : 120 - pending;
  Sha1Update(context, kPadding, static_cast<int32_t>(pad));
  Sha1Update(context, length, 8);
  for (size_t i = 0; i < 5; ++i) StoreBigEndian(digest + 4 * i, context->state[i]);
  std::memset(context, 0, sizeof(*context));
}
