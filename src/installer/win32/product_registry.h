// The application's entry among the installed programs (Settings > Apps,
// Programs and Features): the key <Id> under HKLM's
// Software\Microsoft\Windows\CurrentVersion\Uninstall, in the registry view
// of this program's own bitness.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/locale_name.h"
#include "script/product_section.h"

// Writes the entry afresh (values of an earlier version that this one does
// not give are gone): the names, the folder, the date, the size in KiB, the
// uninstaller's command lines, and the locale variant the install used,
// which the uninstaller takes again. False when the key cannot be written.
bool RegisterProduct(const Product& product, const std::u16string& folder,
                     const LocaleName& localeName, uint64_t installedBytes);

// The folder of the registered install of `id`; empty when there is none.
std::u16string RegisteredLocation(std::string_view id);
// The locale variant the registered install used; false when there is none.
bool RegisteredLocale(std::string_view id, LocaleName* localeName);

// Removes the entry; true when it is gone.
bool UnregisterProduct(std::string_view id);
