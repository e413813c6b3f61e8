// What an uninstall or an upgrade removes from the install folder, read from
// an uninstaller's record (the index of what its setup installed): the files
// of the record, then its folders once empty, deepest first. An upgrade
// keeps what the new tree holds. Only paths the tree walk accepts come in
// (relative, safe names, no ".."), so nothing outside the folder is named.
// Files the record does not list, a user's documents, are never named.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "package/package_reader.h"

struct RemovalPlan {
  std::vector<std::u16string> files;    // relative paths, in the record's order
  std::vector<std::u16string> folders;  // relative paths, deepest first
};

// Maps a path to the form in which two names the file system takes for one
// are equal (Windows ignores letter case).
using FoldPath = std::u16string (*)(std::u16string_view path);

// Everything `record` lists but `skip` (a top-level name: the running
// uninstaller, which goes last) and, when `kept` is given, what that tree
// lists too. `rootUnits` is the install folder's length, for the path limit.
RemovalPlan PlanRemoval(const PackageTree& record, const PackageTree* kept, size_t rootUnits,
                        std::u16string_view skip, FoldPath fold);
