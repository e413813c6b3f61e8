#include <windows.h>

#include "base/utf8.h"
#include "base/win32/win_handles.h"
#include "platform/win32/wide_text.h"
#include "script/registry_line.h"
#include "script/win32/script_actions.h"

namespace {

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegistryRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegistryRoot::kUsers:
      break;
  }
  return HKEY_USERS;
}

}  // namespace

bool SetRegistryLine(std::string_view line, uint32_t view, const ScriptActionContext& context) {
  RegistryLine value;
  if (ParseRegistryLine(line, &value) != RegistrySkip::kNone) return false;
  if (context.perUser) MoveToUserClasses(&value);
  // The one name a value knows: %SystemRoot% and its like stay for Windows.
  if (context.withProduct && value.type == RegistryValueType::kString) {
    value.text = ExpandInstallDir(value.text, context.targetDir);
  }
  // No view flag: the 32-bit stub writes where the system redirects 32-bit
  // programs, which is where the installed 32-bit software reads.
  HKEY opened = nullptr;
  if (RegCreateKeyExW(RootKey(value.root), AsWide(value.keyPath), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, nullptr, &opened,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const RegistryKey key(opened);
  const BYTE* data = value.type == RegistryValueType::kDword
                         ? reinterpret_cast<const BYTE*>(&value.number)
                         : reinterpret_cast<const BYTE*>(value.text.c_str());
  const DWORD type = value.type == RegistryValueType::kDword ? REG_DWORD : REG_SZ;
  return RegSetValueExW(key.Get(), AsWide(value.valueName), 0, type, data, value.DataSize()) ==
         ERROR_SUCCESS;
}

namespace {

void SetSectionValues(const ScriptActionContext& context, const char* section, uint32_t view) {
  WalkBody(context.script, FindSection(context.script, context.localeName, section),
           [&](char* line, size_t length) {
             const std::string_view text(line, length);
             const bool set = SetRegistryLine(text, view, context);
             if (context.log != nullptr && !text.empty()) {
               context.Note(Concat(
                   {Utf8ToWide(section), u" ", Utf8ToWide(text), set ? u": set" : u": not set"}));
             }
           });
}

}  // namespace

void DoRegisterSection(const ScriptActionContext& context) {
  SetSectionValues(context, "register", 0);
}

// The 64-bit view on 64-bit Windows, where a 64-bit application reads; on
// 32-bit Windows the flag is ignored and this is [register] again.
void DoRegister64Section(const ScriptActionContext& context) {
  SetSectionValues(context, "register64", KEY_WOW64_64KEY);
}

bool RemoveRegistryLine(std::string_view line, uint32_t view, bool perUser) {
  RegistryLine value;
  if (ParseRegistryLine(line, &value) != RegistrySkip::kNone) return false;
  const size_t kept = perUser && MoveToUserClasses(&value) ? kUserClassesKey.size() : 0;
  const HKEY root = RootKey(value.root);
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, AsWide(value.keyPath), 0, KEY_SET_VALUE | view, &opened) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS removed = RegDeleteValueW(opened, AsWide(value.valueName));
  RegCloseKey(opened);
  // Keys the value needed go with it once nothing else is in them; the
  // first level below the root ("Software") always stays, as does the
  // user's "Software\Classes".
  std::u16string key = value.keyPath;
  for (size_t cut = key.rfind(u'\\'); cut != std::u16string::npos && key.size() > kept;
       cut = key.rfind(u'\\')) {
    if (RegOpenKeyExW(root, AsWide(key), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) break;
    DWORD subkeys = 1;
    DWORD values = 1;
    RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                     nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(opened);
    if (subkeys != 0 || values != 0 ||
        RegDeleteKeyExW(root, AsWide(key), view, 0) != ERROR_SUCCESS) {
      break;
    }
    key.resize(cut);
  }
  return removed == ERROR_SUCCESS;
}

void UndoRegisterSection(const ScriptActionContext& context) {
  WalkBody(context.script, FindSection(context.script, context.localeName, "register"),
           [&](char* line, size_t length) {
             RemoveRegistryLine(std::string_view(line, length), 0, context.perUser);
           });
  WalkBody(context.script, FindSection(context.script, context.localeName, "register64"),
           [&](char* line, size_t length) {
             RemoveRegistryLine(std::string_view(line, length), KEY_WOW64_64KEY, context.perUser);
           });
}
