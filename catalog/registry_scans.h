#pragma once

#include "catalog/component_catalog.h"
#include "catalog/scan_observer.h"
#include "registry/registry_key.h"
#include "text/ansi_text.h"

namespace instdll {

// Catalogues every family entry of the uninstall list under its display name (version cut
// out); the first entry enumerated under a key wins. Entries missing either text value are
// skipped.
void ScanUninstallRoot(const RegistryKey& uninstallRoot, const AnsiCodePage& codePage,
                       ComponentCatalog& catalog, ScanObserver* observer = nullptr);

// Completes the entry whose key equals a family subkey's name byte for byte, or catalogues the
// subkey under its own name. Subkeys missing "ZkFolder" or "ZkPath" are skipped; "RegMethod"
// is optional.
void ScanProductKey(const RegistryKey& productKey, const AnsiCodePage& codePage,
                    ComponentCatalog& catalog, ScanObserver* observer = nullptr);

}  // namespace instdll
