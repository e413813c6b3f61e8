// The rules a tree and a script obey before they go into a package: what the
// stub can install faithfully. The builder refuses anything else, naming
// the entry or the line.
#pragma once

#include <string_view>

#include "builder/build_files.h"

// Puts every directory's children in index order: bytewise by UTF-8 name.
void SortTree(TreeEntry& root);

// Refuses, naming the entry, what the stub cannot install faithfully: names
// that are malformed UTF-8, outside the BMP, longer than
// MAX_ENTRY_NAME_BYTES, unsafe on Windows (windows_name.h), or equal to a
// sibling's but for letter case (Unicode's simple uppercase, as Windows
// compares names); relative paths longer than MAX_RELATIVE_PATH_UNITS.
void ValidateTree(const TreeEntry& root);

// True when Windows takes the two names (UTF-8) for one, as ValidateTree
// compares siblings.
bool SameFileName(std::string_view a, std::string_view b);

// Refuses, naming the line, a script that is not well-formed UTF-8, holds a
// NUL byte or a character outside the BMP (what the linter calls errors of
// encoding), or is too long for the format.
void ValidateScript(std::string_view script);
