#pragma once

#include "catalog/component_catalog.h"
#include "catalog/scan_observer.h"
#include "registry/registry_key.h"
#include "registry/shared_state_lock.h"
#include "text/ansi_text.h"

namespace instdll {

// The catalogue of installed components together with the two keys it was read from, which
// stay open for pruning. Pruning holds `sharedState` while it changes what other setups share.
class InstalledComponents {
public:
    InstalledComponents(RegistryAccess& registry, const AnsiCodePage& codePage,
                        SharedStateLock& sharedState)
        : registry_(registry), codePage_(codePage), sharedState_(sharedState) {}

    int InitV7Info();
    int FindISUInCatalog(const char* directory, char* logFileName);
    int RemoveAllInCatExcept(const char* directory, const char* argumentsToKeep);

    const ComponentCatalog& catalog() const { return catalog_; }
    // The entry FindISUInCatalog names for `directory`: the first in key order logged there.
    // Allocates nothing, so that a caller may ask it where nothing may throw.
    ComponentCatalog::Entries::const_iterator FirstLoggedIn(const char* directory) const noexcept;
    // Told what the next scans skip; null for none.
    void ObserveScans(ScanObserver* observer) { observer_ = observer; }

private:
    enum class Pruned { Removed, AlreadyGone, Refused };
    Pruned PruneRecords(const ComponentRecord& record);

    RegistryAccess& registry_;
    const AnsiCodePage& codePage_;
    SharedStateLock& sharedState_;
    ComponentCatalog catalog_;
    RegistryKey productKey_;
    RegistryKey uninstallRootKey_;
    ScanObserver* observer_ = nullptr;
};

}  // namespace instdll
