// The install's own record of what its script's actions made: what the
// uninstaller's package (built before any install) cannot know. It lives in
// the product's entry among the installed programs, a text of lines, each
// line one thing the install made, its first word saying what:
//
//   key ROOT\PATH          a registry key that [register] created (none was there)
//   key64 ROOT\PATH        the same in the 64-bit view, for [register64]
//   value ROOT\PATH\NAME   a value that [register] set (NAME empty: the default value)
//   value64 ROOT\PATH\NAME the same in the 64-bit view
//   lnk FILE               a shortcut that [shortcuts] made, its full path
//   folder FOLDER          a Start-menu group folder made for a shortcut, its full path
//
// ROOT is the script's own root name (HKEY_CURRENT_USER ...), the one the
// value or key went to (a per-user HKEY_CLASSES_ROOT line's is
// HKEY_CURRENT_USER). The record of an upgrade keeps the lines of what is
// still there of the earlier versions' and adds the new one's. A reader passes
// over the words it does not know and keeps their lines when it rewrites the
// record, so a new kind of line is one more word, and a record without a
// line of some kind (an install by an older setup) reads as one that made
// none of it.
#pragma once

#include <cstdint>
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

// A value [register] set: its key, and its name below that key.
struct RecordedValue {
  RecordedKey key;
  std::u16string name;
};
std::u16string RecordedValueLine(const RecordedKey& key, std::u16string_view name);
bool ReadRecordedValue(std::u16string_view line, RecordedValue* value);

// The kinds of lines that name a file or folder by its full path.
enum class RecordedPathKind : uint8_t { kLink, kFolder };
std::u16string RecordedPathLine(RecordedPathKind kind, std::u16string_view path);
// True when `line` is a non-empty path line of that kind.
bool ReadRecordedPath(std::u16string_view line, RecordedPathKind kind, std::u16string* path);

// Adds `line` unless the record holds it already.
void AddRecordLine(InstallRecord* record, std::u16string line);

// The lines of a REG_MULTI_SZ text (each ends in a zero unit; an empty
// string ends the list), and back.
InstallRecord SplitRecordText(std::u16string_view text);
std::u16string JoinRecordText(const InstallRecord& record);
