// What the single-instance guard shares with other processes, kept portable
// so that it is tested natively; the Win32 guard (win32/instance_guard.h)
// only makes the system calls around it.
//
// The name under which one program file announces that it runs is keyed on
// the file's full path, so the same file started twice finds itself while
// copies at other paths run side by side. Through a 128-byte block in memory
// shared under that name a second start hands its command line to the
// running instance. Both sides treat every field of the block as untrusted:
// nothing here reads or writes outside it, whatever its length field says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Paths of this many UTF-8 bytes or more are folded into this many bytes, so
// that the name stays short whatever the path.
inline constexpr size_t kInstanceKeyBytes = 32;

// "Global_" and two lowercase hex digits per key byte. Deliberately not the
// kernel's "Global\" namespace: the objects live in the caller's session.
std::u16string InstanceName(std::u16string_view modulePath);

// The shared block's name: the instance name followed by "_MEM".
std::u16string InstanceBlockName(std::u16string_view instanceName);

// Used when the program cannot learn its own path: the name of an empty path,
// "Global_" alone. No real path gives it (every path has at least one byte),
// so such a program still finds its own second starts without ever taking a
// real program's name.
inline constexpr char16_t kUnknownPathInstanceName[] = u"Global_";

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
