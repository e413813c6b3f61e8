// The x86 SHA extensions path. Only the functions below are compiled for the
// extensions, so the rest of the program runs on any x86 processor; the choice
// is made at run time from cpuid.
#include "package/sha1.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <immintrin.h>

#include <atomic>
#include <utility>

#define SHA1_TARGET __attribute__((target("sha,sse4.1,ssse3")))
// 32-bit Windows keeps the stack only 4-byte aligned (callbacks, thread starts),
// while spilled vectors need 16: realign on entry, once per run of blocks.
#if defined(__i386__)
#define SHA1_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define SHA1_ALIGN_STACK
#endif

namespace {

// What the 20 groups of four rounds pass along: the message schedule as four
// vectors of four words, and the chaining words. -Os compiles this as fast as
// -O2 does (measured), so the stub needs no special flags for it.
struct Lanes {
  __m128i abcd;
  __m128i previous_abcd;  // abcd before the last group: its e for the next group
  __m128i message[4];
};

// Group G of the 20 groups of four rounds. The schedule runs three groups ahead:
// msg1 starts word G+3, the xor adds word G+1 to it and msg2 finishes word G+1.
template <int G>
SHA1_TARGET __attribute__((always_inline)) inline void Group(Lanes& lanes, __m128i first_e) {
  __m128i* m = lanes.message;
  __m128i& current = m[G % 4];
  __m128i e =
      G == 0 ? _mm_add_epi32(first_e, current) : _mm_sha1nexte_epu32(lanes.previous_abcd, current);
  lanes.previous_abcd = lanes.abcd;
  lanes.abcd = _mm_sha1rnds4_epu32(lanes.abcd, e, G / 5);
  if constexpr (G >= 3 && G <= 18) m[(G + 1) % 4] = _mm_sha1msg2_epu32(m[(G + 1) % 4], current);
  if constexpr (G >= 2 && G <= 17) m[(G + 2) % 4] = _mm_xor_si128(m[(G + 2) % 4], current);
  if constexpr (G >= 1 && G <= 16) m[(G + 3) % 4] = _mm_sha1msg1_epu32(m[(G + 3) % 4], current);
}

SHA1_TARGET __attribute__((always_inline)) inline __m128i LoadWords(const uint8_t* data,
                                                                    __m128i byte_swap) {
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data)), byte_swap);
}

template <int... G>
SHA1_TARGET __attribute__((always_inline)) inline void AllGroups(Lanes& lanes, __m128i first_e,
                                                                 std::integer_sequence<int, G...>) {
  (Group<G>(lanes, first_e), ...);
}

SHA1_TARGET SHA1_ALIGN_STACK void BlocksShaNi(uint32_t state[5], const uint8_t* data,
                                              size_t blocks) {
  // The words are big-endian in the message; abcd is kept with a in the high lane.
  const __m128i byte_swap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

  for (; blocks > 0; --blocks, data += SHA1_BLOCK_SIZE) {
    Lanes lanes;
    lanes.abcd = abcd;
    lanes.message[0] = LoadWords(data, byte_swap);
    lanes.message[1] = LoadWords(data + 16, byte_swap);
    lanes.message[2] = LoadWords(data + 32, byte_swap);
    lanes.message[3] = LoadWords(data + 48, byte_swap);
    AllGroups(lanes, e, std::make_integer_sequence<int, 20>());
    e = _mm_sha1nexte_epu32(lanes.previous_abcd, e);
    abcd = _mm_add_epi32(lanes.abcd, abcd);
  }

  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<uint32_t>(_mm_extract_epi32(e, 3));
}

bool HasShaExtensions() {
  // The masks name leaf 1's ECX bits; bit 29 of leaf 7's EBX is SHA.
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  if ((ecx & bit_SSE4_1) == 0 || (ecx & bit_SSSE3) == 0) return false;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  return (ebx & (1u << 29)) != 0;
}

}  // namespace

Sha1BlockFunction Sha1BlocksAccelerated() {
  // Asked once; a plain atomic rather than a guarded static keeps the
  // runtime's locking out of the stub. Racing first calls agree anyway.
  static std::atomic<int> known{0};  // 0 not asked yet, 1 present, 2 absent
  int answer = known.load(std::memory_order_relaxed);
  if (answer == 0) {
    answer = HasShaExtensions() ? 1 : 2;
    known.store(answer, std::memory_order_relaxed);
  }
  return answer == 1 ? BlocksShaNi : nullptr;
}

#else

Sha1BlockFunction Sha1BlocksAccelerated() { return nullptr; }

#endif
