// The linter's findings as check and build print them, so that both say the
// same thing about a script in the same words.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "builder/build_files.h"
#include "builder/script_lint.h"

struct LintCounts {
  size_t errors = 0;
  size_t warnings = 0;
};

// The files of a scanned tree by their path inside it, as the setup looks
// a picture or an icon up.
TreeFileNames TreeFileNamesOf(const TreeEntry& root);

// Prints each finding as "SUBJECT:LINE: error|warning: MESSAGE" ("SUBJECT:
// ..." for the script as a whole) and returns how many of each there were.
LintCounts PrintFindings(std::ostream& out, const std::string& subject,
                         const std::vector<LintFinding>& findings);

// "1 error, 2 warnings".
std::string DescribeCounts(const LintCounts& counts);
