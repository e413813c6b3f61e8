#include <windows.h>
// windows.h first: the shell headers build on it.
#include <objidl.h>
#include <shlobj.h>

#include "base/utf8.h"
#include "base/win32/com_handles.h"
#include "platform/win32/wide_text.h"
#include "script/shortcut_line.h"
#include "script/win32/script_actions.h"

namespace {

// Spelled out rather than taken from libuuid, which would bring its whole
// table of identifiers into the stub.
constexpr CLSID kShellLink = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kShellLinkW = {
    0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kPersistFile = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

}  // namespace

bool CreateShortcut(const std::u16string& linkPath, const std::u16string& targetPath,
                    const std::u16string& workingDirectory, const std::u16string& description) {
  const ComScope com;
  void* object = nullptr;
  if (FAILED(CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, kShellLinkW, &object))) {
    return false;
  }
  const ComPtr<IShellLinkW> link(static_cast<IShellLinkW*>(object));
  object = nullptr;
  if (FAILED(link.Get()->QueryInterface(kPersistFile, &object))) return false;
  const ComPtr<IPersistFile> file(static_cast<IPersistFile*>(object));

  // Exactly these three properties; the shell's defaults hold for the rest.
  link.Get()->SetPath(AsWide(targetPath));
  link.Get()->SetDescription(AsWide(description));
  link.Get()->SetWorkingDirectory(AsWide(workingDirectory));
  return SUCCEEDED(file.Get()->Save(AsWide(linkPath), TRUE));
}

namespace {

// The line's shortcut with its link path's folder names expanded. False for
// a line that makes none, or whose expanded path the shell cannot take.
bool ReadShortcut(std::string_view line, const ScriptActionContext& context, ShortcutLine* out) {
  if (ParseShortcutLine(line, context.targetDir, out) != ShortcutSkip::kNone) return false;
  if (out->linkPath.find(u'%') == std::u16string::npos) return true;
  out->linkPath = ExpandFolderVariables(out->linkPath, context.folders);
  return out->linkPath.size() < kShellLinkPathUnits;
}

}  // namespace

void MakeShortcutLine(std::string_view line, const ScriptActionContext& context) {
  ShortcutLine shortcut;
  if (!ReadShortcut(line, context, &shortcut)) {
    if (!line.empty()) context.Note(Concat({u"shortcut ", Utf8ToWide(line), u": skipped"}));
    return;
  }
  const bool made = CreateShortcut(shortcut.linkPath, shortcut.targetPath,
                                   shortcut.workingDirectory, shortcut.description);
  context.Note(Concat({u"shortcut ", shortcut.linkPath, made ? u": made" : u": not made"}));
}

void DoShortcutsSection(const ScriptActionContext& context) {
  WalkBody(context.script, FindShortcutsSection(context.script, context.localeName),
           [&](char* line, size_t length) {
             MakeShortcutLine(std::string_view(line, length), context);
           });
}

bool RemoveShortcutFile(const std::u16string& linkPath) {
  // Only a shortcut: whatever a line names, no other kind of file goes.
  if (linkPath.size() < 4) return false;
  std::u16string extension = linkPath.substr(linkPath.size() - 4);
  for (char16_t& c : extension) c = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
  if (extension != u".lnk") return false;
  const DWORD attributes = GetFileAttributesW(AsWide(linkPath));
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return false;
  }
  return DeleteFileW(AsWide(linkPath)) != 0;
}

void UndoShortcutsSection(const ScriptActionContext& context) {
  WalkBody(context.script, FindShortcutsSection(context.script, context.localeName),
           [&](char* line, size_t length) {
             ShortcutLine shortcut;
             if (ReadShortcut(std::string_view(line, length), context, &shortcut)) {
               RemoveShortcutFile(shortcut.linkPath);
             }
           });
}
