// The application's entry among the installed programs (Settings > Apps,
// Programs and Features): the key <Id> under HKLM's
// Software\Microsoft\Windows\CurrentVersion\Uninstall, in the registry view
// of this program's own bitness; under HKCU for the per-user scope.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/install_record.h"
#include "script/locale_name.h"
#include "script/product_section.h"

// Writes the entry afresh (values of an earlier version that this one does
// not give are gone): the names, the folder, the date, the size in KiB, the
// uninstaller's command lines, the locale variant the install used, which
// the uninstaller takes again, and the install's record (SetupRecord, when
// it has lines). False when the key cannot be written.
bool RegisterProduct(const Product& product, const std::u16string& folder,
                     const LocaleName& localeName, uint64_t installedBytes,
                     const InstallRecord& record);
// Every function below reads and writes where `product` (its scope) belongs.

// The folder of the registered install of `id`; empty when there is none.
std::u16string RegisteredLocation(const Product& product);
// The registered install's DisplayVersion; empty when there is none.
std::u16string RegisteredVersion(const Product& product);
// The locale variant the registered install used; false when there is none.
bool RegisteredLocale(const Product& product, LocaleName* localeName);

// The install's record the entry keeps; empty when there is none.
InstallRecord ReadInstallRecord(const Product& product);

// Removes the entry; true when it is gone.
bool UnregisterProduct(const Product& product);
