// The install's own record of what its script's actions made: what the
// uninstaller's package (built before any install) cannot know. It lives in
// the product's entry among the installed programs, a text of lines, each
// line one thing the install made, its first word saying what:
//
//   key ROOT\PATH     a registry key that [register] created (none was there)
//   key64 ROOT\PATH   the same in the 64-bit view, for [register64]
//
// ROOT is the script's own root name (HKEY_CURRENT_USER ...). A reader passes
// over the words it does not know and keeps their lines when it rewrites the
// record, so a new kind of line is one more word, and a record without a
// line of some kind (an install by an older setup) reads as one that made
// none of it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "script/registry_line.h"

using InstallRecord = std::vector<std::u16string>;

struct RecordedKey {
  bool view64 = false;
  RegistryRoot root = RegistryRoot::kClassesRoot;
  std::u16string path;  // below the root
};

// The line of a key the install created.
std::u16string RecordedKeyLine(const RecordedKey& key);
// True when `line` is a key line (of either view) whose root is known.
bool ReadRecordedKey(std::u16string_view line, RecordedKey* key);

// Adds `line` unless the record holds it already.
void AddRecordLine(InstallRecord* record, std::u16string line);

// The lines of a REG_MULTI_SZ text (each ends in a zero unit; an empty
// string ends the list), and back.
InstallRecord SplitRecordText(std::u16string_view text);
std::u16string JoinRecordText(const InstallRecord& record);
