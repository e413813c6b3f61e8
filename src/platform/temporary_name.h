// The names under which an extraction writes a file before it puts it in
// place. They are distinctive enough that a later extraction into the same
// folder can tell the leftovers of an interrupted one and remove them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// "~setup" + 8 lower-case hex digits of `serial` + ".tmp".
std::u16string TemporaryFileName(uint32_t serial);
// The same digits with ".pending": a finished file that waits for the next
// restart to replace a file in use. Never removed as a leftover.
std::u16string PendingFileName(uint32_t serial);
// True for exactly the names TemporaryFileName makes.
bool IsTemporaryFileName(std::u16string_view name);
