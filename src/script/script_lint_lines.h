// The line checks of the linter, one per kind of section body. Each reports
// through `report` and knows nothing of the line's position.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "script/script_lint.h"

using LintReport = std::function<void(LintSeverity, std::string)>;

// UTF-16 units the setup's conversion makes of a UTF-8 text.
size_t WideUnits(std::string_view text);

void LintRegisterLine(std::string_view line, const LintReport& report);
void LintShortcutLine(std::string_view line, const LintReport& report);
void LintRunLine(std::string_view line, const LintReport& report);
// `waitedFor`: the setup runs the batch and waits for its closing line.
void LintBatchLine(std::string_view line, bool waitedFor, const LintReport& report);
