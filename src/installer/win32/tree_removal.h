// Carrying out a removal plan in the install folder, with the rules of the
// elevated setup: nothing is followed through a symbolic link or junction
// (a file below one is not touched), only plain files go, and a folder goes
// only when it is empty.
#pragma once

#include <string>
#include <string_view>

#include "installer/install_report.h"
#include "installer/removal_plan.h"
#include "package/extract_progress.h"

// Names as Windows compares them: letter case ignored.
std::u16string FoldForWindows(std::u16string_view path);

// Removes the plan's files and then its empty folders below `folder`; a file
// that exists but cannot be removed (in use) goes to `failed`. A file already
// gone is no failure. `progress`, when given, hears of each file.
void RemovePlannedFiles(const std::u16string& folder, const RemovalPlan& plan, FileList* failed,
                        ExtractProgress* progress);
