// The line checks of the linter, one per kind of section body. Whether a line
// is skipped, and why, is what the setup's own line parsers say; the checks
// add what those parsers accept without complaint but the author hardly
// meant. Each reports through `report` and knows nothing of the line's
// position.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "builder/script_lint.h"

using LintReport = std::function<void(LintSeverity, std::string)>;

// UTF-16 units the setup's conversion makes of a UTF-8 text.
size_t WideUnits(std::string_view text);

// Files of the install folder a line points at, for a look into the tree:
// what each is ("the shortcut target") and its path inside the folder.
using PointedFiles = std::vector<std::pair<std::string, std::string>>;

void LintRegisterLine(std::string_view line, const LintReport& report);
// `withProduct`: the script has a plain [product], whose line forms and
// %InstallDir% the lines are read with.
PointedFiles LintShortcutLine(std::string_view line, bool withProduct, const LintReport& report);
PointedFiles LintRunLine(std::string_view line, bool withProduct, const LintReport& report);
// `hasClosingLine`: the batch ends in a line that deletes the batch file.
void LintBatchLine(std::string_view line, bool hasClosingLine, const LintReport& report);
