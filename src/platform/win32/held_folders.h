// The folders of a tree that an elevated setup writes or removes, held open
// from their check to the end of the work. A folder held here cannot be
// renamed, deleted or replaced by a link meanwhile (its handle shares no
// delete), so a full path built of held folders leads where it led when each
// was checked, however long the gap between the check and its use. That
// makes the paths safe to hand to the plain file calls.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

class HeldFolders {
 public:
  // `root`: the tree's folder, as the caller chose it (it may be a link; the
  // folder it leads to is the one held). Nothing is opened yet.
  explicit HeldFolders(std::u16string root) : root_(std::move(root)) {}
  ~HeldFolders();
  HeldFolders(const HeldFolders&) = delete;
  HeldFolders& operator=(const HeldFolders&) = delete;

  // Holds the folder at `relative` (names joined by '\'; empty: the root)
  // and every folder above it, parents first. True when each is a real
  // folder (no link, junction or other reparse point) that sits in its held
  // parent under its own name, as its handle tells. A folder asked for again
  // is answered from memory, so a tree's files cost no further call.
  bool Hold(std::u16string_view relative);
  // Closes the handle of `relative`, a folder about to be removed; the
  // paths below it are no longer held.
  void Release(std::u16string_view relative);

 private:
  struct Folder {
    std::u16string path;   // relative
    HANDLE handle;         // null when the folder is not plain (or missing)
    std::u16string final;  // where the handle's folder is, as the system names it
  };
  Folder* Find(std::u16string_view relative);
  Folder Open(std::u16string_view relative, const Folder* parent) const;

  std::u16string root_;
  // In the order first asked for (a list: a set's code would cost the stub
  // more than the search costs; the last one found is looked at first).
  std::vector<Folder> folders_;
  size_t last_ = 0;
};
