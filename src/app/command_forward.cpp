#include "app/guard_state.h"
#include "app/instance_guard.h"

void ForwardCommand(const char* text) {
  const GuardState& guard = Guard();
  KernelHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          sizeof(ChannelBlock), guard.blockName.c_str()));
  // A new mapping belongs to no running instance (it never made one).
  if (!mapping || GetLastError() != ERROR_ALREADY_EXISTS) return;
  MappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  auto* block = static_cast<ChannelBlock*>(view.Get());
  if (block == nullptr) return;
  // The lock is not taken: the receiver only reads after the message that
  // follows the write.
  if (PutChannelText(block, text)) {
    PostMessageW(HandleFromBlock(block->window), block->message, 0, 0);
  }
}
