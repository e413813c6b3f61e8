// Upgrades in place: what the version already installed in a folder wrote,
// read from its own uninstaller there, the one record of it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "package/package_reader.h"
#include "platform/input_file.h"

// Reads the record of `folder`'s uninstaller into `record` when it is a plain
// file, a whole package (its digest matches), an uninstaller, and of the
// product `id`. False otherwise: then nothing is removed.
bool ReadPreviousRecord(const std::u16string& folder, std::string_view id, PackageTree* record);
