// What a setup program says about itself to Windows: its version resource
// (Properties > Details) and its icon (Explorer, the download list), written
// into the stub's resources before the package is sealed. Builder only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "builder/icon_group.h"
#include "builder/version_info.h"
#include "script/product_section.h"

// The keys of the plain [product] that only the builder reads (the stub
// passes them over as unknown): the setup file's LegalCopyright, and its
// icon, an .ico beside the script. The last of a key counts.
struct IdentityKeys {
  std::string copyright;
  std::string setupIcon;
};
IdentityKeys ReadIdentityKeys(std::string_view script);

// True for "Copyright" and "SetupIcon" in any letter case.
bool IsIdentityKey(std::string_view name);

struct SetupIdentity {
  std::optional<VersionInfo> version;  // none: the stub has none either
  std::vector<IconImage> icon;         // empty: the stub's own
  bool Empty() const { return !version && icon.empty(); }
};

// The version resource of a setup (`role` "Setup") or its uninstaller
// ("Uninstall") for `product`: ProductName its Name (else its Id),
// FileDescription "NAME ROLE", ProductVersion and FileVersion its Version
// (the numbers in front in the fixed part), CompanyName its Publisher,
// LegalCopyright `copyright`; empty values are left out.
VersionInfo ProductVersionInfo(const Product& product, std::string_view copyright,
                               std::string_view role);

// `stub` (STUB_SIZE bytes) with `identity` in its resources: the version
// resource replaced or added, icon group SETUP_ICON_GROUP replaced by the
// icon. Returns `stub` itself when `identity` is empty. Throws
// PeImageError (pe_image.h) for a stub that cannot take it, IconError
// naming the room there is for an icon too large to fit.
std::string WithIdentity(std::string_view stub, const SetupIdentity& identity);

// What `stub` (a setup's first STUB_SIZE bytes) says: its version resource,
// if any, and the images of its icon group SETUP_ICON_GROUP. Throws
// PeImageError, ResourceError or IconError when it cannot be read.
SetupIdentity ReadIdentity(std::string_view stub);
