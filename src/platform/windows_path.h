// Windows paths in the forms the system calls need. Pure text work, so that
// it is tested on every system; the Windows layer only passes the results on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest path every plain file and folder call takes: a folder may be
// at most MAX_PATH - 12 units long (room for an 8.3 name and the NUL).
inline constexpr size_t kPlainPathUnits = 247;

// The units of the root an absolute path starts with: "C:\" (3; 2 for a
// bare "C:"), "\\server\share\" or "\\?\C:\". 0 for any other path, which
// is relative to some current directory.
size_t PathRootLength(std::u16string_view path);

// `path` as the file and folder calls take it whatever its length: an
// absolute path longer than kPlainPathUnits in its "\\?\" form ("\\?\UNC\"
// for a network path), anything else unchanged. The caller's path has
// backslashes only and no "." or ".." components, which that form does not
// resolve.
std::u16string LongPathForm(std::u16string_view path);

// A folder as the directory and process calls take it: a drive alone ("R:")
// names the current directory on that drive, so its root is given as "R:\".
std::u16string DirectoryForm(std::u16string_view folder);
