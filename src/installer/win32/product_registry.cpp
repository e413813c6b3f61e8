#include "installer/win32/product_registry.h"

#include <windows.h>

#include "base/utf8.h"
#include "base/win32/win_handles.h"
#include "package/package_format.h"
#include "platform/win32/wide_text.h"

namespace {

// The install's record (install_record.h), beside the values Windows shows.
constexpr wchar_t kRecordValue[] = L"SetupRecord";

std::u16string EntryKey(std::string_view id) {
  return u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + Utf8ToWide(id);
}

void SetText(HKEY key, const wchar_t* name, const std::u16string& text) {
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
}

void SetTextIfGiven(HKEY key, const wchar_t* name, const std::string& text) {
  if (!text.empty()) SetText(key, name, Utf8ToWide(text));
}

void SetNumber(HKEY key, const wchar_t* name, DWORD number) {
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

HKEY RootOf(const Product& product) {
  return product.PerUser() ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// A text value of the entry, at most `units` long; empty when missing, and
// then *found (when given) is false.
std::u16string ReadText(const Product& product, const wchar_t* name, DWORD units,
                        bool* found = nullptr) {
  if (found != nullptr) *found = false;
  if (!product.Usable()) return {};
  std::u16string text(units + 1, u'\0');
  DWORD bytes = units * sizeof(wchar_t);
  if (RegGetValueW(RootOf(product), AsWide(EntryKey(product.id)), name, RRF_RT_REG_SZ, nullptr,
                   text.data(), &bytes) != ERROR_SUCCESS) {
    return {};
  }
  if (found != nullptr) *found = true;
  text.resize(std::char_traits<char16_t>::length(text.c_str()));
  return text;
}

std::u16string Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[16];
  wsprintfW(text, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

}  // namespace

bool RegisterProduct(const Product& product, const std::u16string& folder,
                     const LocaleName& localeName, uint64_t installedBytes,
                     const InstallRecord& record) {
  const std::u16string name = EntryKey(product.id);
  RegDeleteKeyW(RootOf(product), AsWide(name));
  HKEY opened = nullptr;
  if (RegCreateKeyExW(RootOf(product), AsWide(name), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &opened, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const RegistryKey key(opened);
  const std::u16string uninstaller =
      Concat({u"\"", folder, u"\\", Utf8ToWide(UNINSTALLER_NAME), u"\""});
  SetText(key.Get(), L"DisplayName", Utf8ToWide(product.name.empty() ? product.id : product.name));
  SetTextIfGiven(key.Get(), L"DisplayVersion", product.version);
  SetTextIfGiven(key.Get(), L"Publisher", product.publisher);
  SetTextIfGiven(key.Get(), L"URLInfoAbout", product.url);
  SetText(key.Get(), L"DisplayIcon",
          product.icon.empty() ? uninstaller.substr(1, uninstaller.size() - 2)
                               : Concat({folder, u"\\", Utf8ToWide(product.icon)}));
  SetText(key.Get(), L"InstallLocation", folder);
  SetText(key.Get(), L"InstallDate", Today());
  const uint64_t kibibytes = (installedBytes + 1023) / 1024;
  SetNumber(key.Get(), L"EstimatedSize", kibibytes > MAXDWORD ? MAXDWORD : DWORD(kibibytes));
  SetText(key.Get(), L"UninstallString", uninstaller);
  SetText(key.Get(), L"QuietUninstallString", Concat({uninstaller, u" /S"}));
  SetNumber(key.Get(), L"NoModify", 1);
  SetNumber(key.Get(), L"NoRepair", 1);
  SetText(key.Get(), L"SetupLocale", Utf8ToWide(localeName.text));
  if (!record.empty()) {
    const std::u16string text = JoinRecordText(record);
    RegSetValueExW(key.Get(), kRecordValue, 0, REG_MULTI_SZ,
                   reinterpret_cast<const BYTE*>(text.data()),
                   static_cast<DWORD>(text.size() * sizeof(char16_t)));
  }
  return true;
}

InstallRecord ReadInstallRecord(const Product& product) {
  DWORD bytes = 0;
  const std::u16string key = EntryKey(product.id);
  if (!product.Usable() ||
      RegGetValueW(RootOf(product), AsWide(key), kRecordValue, RRF_RT_REG_MULTI_SZ, nullptr,
                   nullptr, &bytes) != ERROR_SUCCESS) {
    return {};
  }
  std::u16string text(bytes / sizeof(char16_t) + 1, u'\0');
  if (RegGetValueW(RootOf(product), AsWide(key), kRecordValue, RRF_RT_REG_MULTI_SZ, nullptr,
                   text.data(), &bytes) != ERROR_SUCCESS) {
    return {};
  }
  text.resize(bytes / sizeof(char16_t));
  return SplitRecordText(text);
}

std::u16string RegisteredLocation(const Product& product) {
  return ReadText(product, L"InstallLocation", 1024);
}

std::u16string RegisteredVersion(const Product& product) {
  return ReadText(product, L"DisplayVersion", 256);
}

bool RegisteredLocale(const Product& product, LocaleName* localeName) {
  // Empty is a choice too: the plain sections.
  bool found = false;
  const std::u16string text = ReadText(product, L"SetupLocale", 32, &found);
  if (!found) return false;
  *localeName = LocaleName{WideToUtf8(text)};
  return true;
}

bool UnregisterProduct(const Product& product) {
  if (!product.Usable()) return false;
  const LSTATUS status = RegDeleteKeyW(RootOf(product), AsWide(EntryKey(product.id)));
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}
