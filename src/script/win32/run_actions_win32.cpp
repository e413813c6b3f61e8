#include <windows.h>
// windows.h first: the shell header builds on it.
#include <shellapi.h>

#include "platform/win32/wide_text.h"
#include "script/run_line.h"
#include "script/win32/script_actions.h"

void RunProgramLine(std::string_view line, std::u16string_view targetDir, bool withProduct) {
  RunLine run;
  if (ParseRunLine(line, targetDir, &run, withProduct) != RunSkip::kNone) return;
  // "open", so that a document starts the program it is associated with;
  // nothing waits for what was started.
  ShellExecuteW(nullptr, L"open", AsWide(run.file),
                run.parameters ? AsWide(*run.parameters) : nullptr, AsWide(run.workingDirectory),
                SW_SHOWNORMAL);
}

void DoRunSection(const ScriptActionContext& context) {
  WalkBody(context.script, FindSection(context.script, context.localeName, "run"),
           [&](char* line, size_t length) {
             RunProgramLine(std::string_view(line, length), context.targetDir, context.withProduct);
           });
}
