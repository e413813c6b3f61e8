#include "lint_output.h"

namespace {

// Paths as the setup looks them up: components joined by backslashes.
void CollectFiles(const TreeEntry& directory, const std::string& prefix, TreeFileNames* names) {
  for (const TreeEntry& child : directory.children) {
    const std::string path = prefix.empty() ? child.name : prefix + "\\" + child.name;
    if (child.isDirectory) {
      CollectFiles(child, path, names);
    } else {
      names->insert(path);
    }
  }
}

std::string Counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

TreeFileNames TreeFileNamesOf(const TreeEntry& root) {
  TreeFileNames names;
  CollectFiles(root, "", &names);
  return names;
}

LintCounts PrintFindings(std::ostream& out, const std::string& subject,
                         const std::vector<LintFinding>& findings) {
  LintCounts counts;
  for (const LintFinding& finding : findings) {
    const bool error = finding.severity == LintSeverity::kError;
    out << subject;
    if (finding.line != 0) out << ':' << finding.line;
    out << (error ? ": error: " : ": warning: ") << finding.message << '\n';
    ++(error ? counts.errors : counts.warnings);
  }
  return counts;
}

std::string DescribeCounts(const LintCounts& counts) {
  return Counted(counts.errors, "error") + ", " + Counted(counts.warnings, "warning");
}
