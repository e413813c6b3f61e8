#include <windows.h>

#include <vector>

#include "base/utf8.h"
#include "base/win32/win_handles.h"
#include "platform/win32/wide_text.h"
#include "script/install_record.h"
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

// Opens the key at `path` below `root`, making each missing level on its own,
// so that what this call made (and only that) goes to `record`, when given.
HKEY CreateKeyLevels(RegistryRoot root, const std::u16string& path, uint32_t view,
                     InstallRecord* record) {
  HKEY key = RootKey(root);
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    const bool last = end == path.size();
    HKEY next = nullptr;
    DWORD disposition = 0;
    const LSTATUS status = RegCreateKeyExW(
        key, AsWide(path.substr(start, end - start)), 0, nullptr, REG_OPTION_NON_VOLATILE,
        (last ? KEY_ALL_ACCESS : KEY_CREATE_SUB_KEY) | view, nullptr, &next, &disposition);
    if (key != RootKey(root)) RegCloseKey(key);
    if (status != ERROR_SUCCESS) return nullptr;
    key = next;
    if (disposition == REG_CREATED_NEW_KEY && record != nullptr) {
      AddRecordLine(record, RecordedKeyLine({view != 0, root, path.substr(0, end)}));
    }
    start = end + 1;
  }
  return key;
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
  const RegistryKey key(CreateKeyLevels(value.root, value.keyPath, view, context.record));
  if (!key) return false;
  const BYTE* data = value.type == RegistryValueType::kDword
                         ? reinterpret_cast<const BYTE*>(&value.number)
                         : reinterpret_cast<const BYTE*>(value.text.c_str());
  const DWORD type = value.type == RegistryValueType::kDword ? REG_DWORD : REG_SZ;
  if (RegSetValueExW(key.Get(), AsWide(value.valueName), 0, type, data, value.DataSize()) !=
      ERROR_SUCCESS) {
    return false;
  }
  if (context.record != nullptr) {
    AddRecordLine(context.record,
                  RecordedValueLine({view != 0, value.root, value.keyPath}, value.valueName));
  }
  return true;
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

namespace {

// ERROR_FILE_NOT_FOUND when the value, or its key, is not there.
LSTATUS DeleteValue(RegistryRoot root, const std::u16string& path, const std::u16string& name,
                    uint32_t view) {
  HKEY opened = nullptr;
  const LSTATUS status =
      RegOpenKeyExW(RootKey(root), AsWide(path), 0, KEY_SET_VALUE | view, &opened);
  if (status != ERROR_SUCCESS) return status;
  const RegistryKey key(opened);
  return RegDeleteValueW(key.Get(), AsWide(name));
}

uint32_t ViewOf(const RecordedKey& key) { return key.view64 ? KEY_WOW64_64KEY : 0; }

bool IsGone(const std::u16string& path) {
  return GetFileAttributesW(AsWide(path)) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool RemoveRegistryLine(std::string_view line, uint32_t view, bool perUser) {
  RegistryLine value;
  if (ParseRegistryLine(line, &value) != RegistrySkip::kNone) return false;
  if (perUser) MoveToUserClasses(&value);
  return DeleteValue(value.root, value.keyPath, value.valueName, view) == ERROR_SUCCESS;
}

void RemoveRecordedKeys(const InstallRecord& record) {
  // Lines stand in the order their keys were made, parents first: from the
  // last one back, children go before their parents. Another pass takes a
  // parent left empty by a child recorded after it (by a later version).
  for (bool removed = true; removed;) {
    removed = false;
    for (auto line = record.rbegin(); line != record.rend(); ++line) {
      RecordedKey key;
      if (!ReadRecordedKey(*line, &key)) continue;
      const uint32_t view = ViewOf(key);
      HKEY opened = nullptr;
      if (RegOpenKeyExW(RootKey(key.root), AsWide(key.path), 0, KEY_READ | view, &opened) !=
          ERROR_SUCCESS) {
        continue;
      }
      DWORD subkeys = 1;
      DWORD values = 1;
      RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr);
      RegCloseKey(opened);
      // What a user or a program put in it since keeps it.
      if (subkeys == 0 && values == 0 &&
          RegDeleteKeyExW(RootKey(key.root), AsWide(key.path), view, 0) == ERROR_SUCCESS) {
        removed = true;
      }
    }
  }
}

InstallRecord RemoveRecorded(const InstallRecord& record) {
  std::vector<uint8_t> gone(record.size(), 0);
  std::u16string path;
  for (size_t i = 0; i < record.size(); ++i) {
    RecordedValue value;
    if (ReadRecordedPath(record[i], RecordedPathKind::kLink, &path)) {
      RemoveShortcutFile(path);
      gone[i] = IsGone(path);
    } else if (ReadRecordedValue(record[i], &value)) {
      const LSTATUS status =
          DeleteValue(value.key.root, value.key.path, value.name, ViewOf(value.key));
      gone[i] = status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
  }
  RemoveRecordedKeys(record);
  // Folders stand parents first, as they were made: from the last one back.
  for (size_t i = record.size(); i-- > 0;) {
    RecordedKey key;
    if (ReadRecordedPath(record[i], RecordedPathKind::kFolder, &path)) {
      RemoveEmptyFolder(path);
      gone[i] = IsGone(path);
    } else if (ReadRecordedKey(record[i], &key)) {
      HKEY opened = nullptr;
      const LSTATUS status =
          RegOpenKeyExW(RootKey(key.root), AsWide(key.path), 0, KEY_READ | ViewOf(key), &opened);
      if (status == ERROR_SUCCESS) RegCloseKey(opened);
      gone[i] = status == ERROR_FILE_NOT_FOUND;
    }
  }
  InstallRecord left;
  for (size_t i = 0; i < record.size(); ++i) {
    if (gone[i] == 0) left.push_back(record[i]);
  }
  return left;
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
