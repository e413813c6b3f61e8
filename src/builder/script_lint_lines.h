// The line checks of the linter, one per kind of section body. Whether a line
// is skipped, and why, is what the setup's own line parsers say; the checks
// add what those parsers accept without complaint but the author hardly
// meant. Each reports through `report` and knows nothing of the line's
// position.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "builder/script_lint.h"

using LintReport = std::function<void(LintSeverity, std::string)>;

// UTF-16 units the setup's conversion makes of a UTF-8 text.
size_t WideUnits(std::string_view text);

void LintRegisterLine(std::string_view line, const LintReport& report);
void LintShortcutLine(std::string_view line, const LintReport& report);
void LintRunLine(std::string_view line, const LintReport& report);
// `hasClosingLine`: the batch ends in a line that deletes the batch file.
void LintBatchLine(std::string_view line, bool hasClosingLine, const LintReport& report);
