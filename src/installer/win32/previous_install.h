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

// True when `a` and `b` are one folder: the same text, letter case and a
// trailing separator aside, or (another spelling: a short name, a link on
// the way) the same folder of the same volume, as two handles tell.
bool SameFolder(const std::u16string& a, const std::u16string& b);
