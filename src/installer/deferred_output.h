// An extraction that leaves one file at the top of the tree for later: it is
// written under a side name, and the caller puts it in place when it
// chooses. The uninstaller of an upgrade goes in last this way: until the
// old version's files are removed, the old uninstaller stays the record of
// them, so that a run killed in between (or a full disk) forgets nothing.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/tree_output.h"

class DeferringTreeOutput final : public TreeOutput {
 public:
  // `deferred` (a top-level name) goes to `side`, a name of the extraction's
  // own (temporary_name.h: a later extraction clears it as a leftover).
  DeferringTreeOutput(TreeOutput& inner, std::u16string_view deferred, std::u16string side)
      : inner_(inner), deferred_(deferred), side_(std::move(side)) {}

  DirectoryOutcome MakeDirectory(std::u16string_view relativePath) override {
    return inner_.MakeDirectory(relativePath);
  }
  std::unique_ptr<OutputFile> CreateOutput(std::u16string_view relativePath,
                                           CreateRefusal* why = nullptr) override;
  bool SetEntryTime(std::u16string_view relativePath, const EntryTime& time) override {
    return inner_.SetEntryTime(Redirect(relativePath), time);
  }
  bool DiskFull() const override { return inner_.DiskFull(); }

  // True once the deferred file was written whole under the side name.
  bool Written() const { return written_; }

 private:
  std::u16string_view Redirect(std::u16string_view relativePath) const {
    return relativePath == deferred_ ? std::u16string_view(side_) : relativePath;
  }

  TreeOutput& inner_;
  std::u16string deferred_;
  std::u16string side_;
  bool written_ = false;
};
