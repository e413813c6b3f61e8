#include <windows.h>
// windows.h first: the shell headers build on it.
#include <objidl.h>
#include <shlobj.h>

#include <vector>

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

bool CreateShortcut(const ShortcutLine& shortcut) {
  const ComScope com;
  void* object = nullptr;
  if (FAILED(CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, kShellLinkW, &object))) {
    return false;
  }
  const ComPtr<IShellLinkW> link(static_cast<IShellLinkW*>(object));
  object = nullptr;
  if (FAILED(link.Get()->QueryInterface(kPersistFile, &object))) return false;
  const ComPtr<IPersistFile> file(static_cast<IPersistFile*>(object));

  // Exactly these properties; the shell's defaults hold for the rest, and an
  // old line sets the first three only.
  link.Get()->SetPath(AsWide(shortcut.targetPath));
  link.Get()->SetDescription(AsWide(shortcut.description));
  link.Get()->SetWorkingDirectory(AsWide(shortcut.workingDirectory));
  if (!shortcut.arguments.empty()) link.Get()->SetArguments(AsWide(shortcut.arguments));
  if (!shortcut.iconPath.empty()) {
    link.Get()->SetIconLocation(AsWide(shortcut.iconPath), shortcut.iconIndex);
  }
  return SUCCEEDED(file.Get()->Save(AsWide(shortcut.linkPath), TRUE));
}

namespace {

// The line's shortcut with its link path's folder names expanded, and with
// [product] the group folders between a known folder and the link. False
// for a line that makes none, or whose expanded path the shell cannot take.
bool ReadShortcut(std::string_view line, const ScriptActionContext& context, ShortcutLine* out,
                  std::vector<std::u16string>* group) {
  if (ParseShortcutLine(line, context.targetDir, out, context.withProduct) != ShortcutSkip::kNone) {
    return false;
  }
  if (out->linkPath.find(u'%') == std::u16string::npos) return true;
  if (context.withProduct) *group = LinkGroupFolders(out->linkPath, context.folders);
  out->linkPath = ExpandFolderVariables(out->linkPath, context.folders);
  return out->linkPath.size() < kShellLinkPathUnits;
}

// The link's path as the record keeps it: full, whatever the line wrote.
void RecordLink(const ScriptActionContext& context, const std::u16string& linkPath) {
  const DWORD units = GetFullPathNameW(AsWide(linkPath), 0, nullptr, nullptr);
  std::u16string full(units, u'\0');
  const DWORD length =
      GetFullPathNameW(AsWide(linkPath), units, reinterpret_cast<wchar_t*>(full.data()), nullptr);
  if (length == 0 || length >= units) return;
  full.resize(length);
  AddRecordLine(context.record, RecordedPathLine(RecordedPathKind::kLink, full));
}

}  // namespace

bool RemoveEmptyFolder(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(AsWide(path));
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
             FILE_ATTRIBUTE_DIRECTORY &&
         RemoveDirectoryW(AsWide(path));
}

void MakeShortcutLine(std::string_view line, const ScriptActionContext& context) {
  ShortcutLine shortcut;
  std::vector<std::u16string> group;
  if (!ReadShortcut(line, context, &shortcut, &group)) {
    if (!line.empty()) context.Note(Concat({u"shortcut ", Utf8ToWide(line), u": skipped"}));
    return;
  }
  for (const std::u16string& folder : group) {
    if (CreateDirectoryW(AsWide(folder), nullptr)) {
      context.Note(Concat({u"shortcut folder ", folder, u": made"}));
      if (context.record != nullptr) {
        AddRecordLine(context.record, RecordedPathLine(RecordedPathKind::kFolder, folder));
      }
    }
  }
  const bool made = CreateShortcut(shortcut);
  if (made && context.record != nullptr) RecordLink(context, shortcut.linkPath);
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
             std::vector<std::u16string> group;
             if (!ReadShortcut(std::string_view(line, length), context, &shortcut, &group)) return;
             RemoveShortcutFile(shortcut.linkPath);
             // Innermost first, each only while empty: another
             // application's shortcuts keep a group they share.
             for (auto folder = group.rbegin(); folder != group.rend(); ++folder) {
               if (!RemoveEmptyFolder(*folder)) break;
             }
           });
}
