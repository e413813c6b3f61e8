// What a handle shows of the file it opened, for an elevated program that
// names a file by a path in a folder other users may write: the path must
// have led to that very file, with no link on the way. Windows shows a link
// opened with FILE_FLAG_OPEN_REPARSE_POINT as a reparse point; Wine shows a
// symbolic link to a file as its target, whose name on the volume then
// differs from the one asked for.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "base/win32/win_handles.h"

// The folder at `path` (long form), opened without following a link; null
// when it cannot be opened or is a link or no folder. Pinned, it is shared
// without delete: nobody can rename or replace it while the handle is held.
KernelHandle OpenFolder(const std::u16string& path, bool pinned);

// True when `file` is a plain file: no reparse point, no folder, one name.
bool IsPlainFileHandle(HANDLE file);

// True when `file` was reached as `name` inside `folder`: its name on the
// volume is the folder's followed by `name` (letter case aside).
bool IsNamedChild(HANDLE folder, HANDLE file, std::u16string_view name);

// Removes the file `name` in the pinned `folder` (reached by `path`) when it
// is a plain file reached as named; true when no such name is left. A link
// or a file with other names is left alone (false).
bool RemovePlainFile(HANDLE folder, const std::u16string& path, std::u16string_view name);
