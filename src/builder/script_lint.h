// Checks a setup script before it is built into a package, for what the
// setup would silently do differently from what its author wrote: lines the
// section handlers skip, texts cut by their buffers, sections no locale ever
// reads, a [locale] section the window cannot be filled from, a [product]
// section Windows cannot register or whose files are not in the tree.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

enum class LintSeverity { kWarning, kError };

struct LintFinding {
  size_t line = 0;  // 1-based; 0 for the script as a whole
  LintSeverity severity = LintSeverity::kError;
  std::string message;
};

// The files of the package's tree by their path inside it: components joined
// by backslashes, exact case, UTF-8 (as the setup looks a picture or an icon
// up).
using TreeFileNames = std::set<std::string>;

// Lints `script`. With `treeFiles` null, neither the picture nor the
// product's icon is looked up, nor the uninstaller's name in the tree.
// Findings come ordered by line.
std::vector<LintFinding> LintScript(std::string_view script, const TreeFileNames* treeFiles);

inline bool HasErrors(const std::vector<LintFinding>& findings) {
  for (const LintFinding& finding : findings) {
    if (finding.severity == LintSeverity::kError) return true;
  }
  return false;
}
