// The name under which one program file announces that it runs. It is keyed
// on the file's full path, so the same file started twice finds itself while
// copies at other paths run side by side. Portable: the Win32 guard only
// hands it the module path.
#pragma once

#include <cstddef>
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
