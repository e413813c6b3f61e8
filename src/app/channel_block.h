// The 128-byte block through which a second start hands its command line to
// the running instance. It lives in memory shared with other processes, so
// both sides treat every field as untrusted: nothing here reads or writes
// outside the block, whatever its length field says.
#pragma once

#include <cstddef>
#include <cstdint>

// Posted to the running instance's channel window once a text is pending.
inline constexpr uint32_t WM_CHANNEL_COMMAND = 0x8064;  // WM_APP + 100

inline constexpr size_t kChannelTextBytes = 116;
// The receiver terminates the text once more one byte past the sender's NUL,
// so two bytes of the field are never text.
inline constexpr size_t kMaxChannelTextBytes = kChannelTextBytes - 2;

// Little-endian on every Windows target; window handles fit 32 bits there.
struct ChannelBlock {
  uint32_t window;   // the running instance's message-only window
  uint32_t message;  // what to post to it: WM_CHANNEL_COMMAND
  uint32_t length;   // pending text's bytes with its NUL; 0 means free
  char text[kChannelTextBytes];
};
static_assert(sizeof(ChannelBlock) == 128);

// The longest prefix of `text` (NUL-terminated) of at most
// kMaxChannelTextBytes bytes that does not end inside a UTF-8 sequence.
size_t FitChannelText(const char* text);

// Stores `text` as the pending text, cut to fit, when the block is free.
// Returns false (text dropped) when an earlier text is still pending.
bool PutChannelText(ChannelBlock* block, const char* text);

// The pending text, NUL-terminated inside the block, or null when the block
// is free. A length the field cannot hold is clamped to it.
const char* TakeChannelText(ChannelBlock* block);

// Marks the block free again once the taken text has been handled.
inline void ReleaseChannelText(ChannelBlock* block) { block->length = 0; }
