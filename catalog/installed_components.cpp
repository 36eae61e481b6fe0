#include "catalog/installed_components.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "catalog/component_counter.h"
#include "catalog/registry_scans.h"
#include "registry/registry_paths.h"

namespace instdll {
namespace {

// An entry without a log directory has no log to name, whatever the argument.
bool LogsIn(const ComponentRecord& record, const char* directory, const AnsiCodePage& codePage) {
    return !record.LogDir.empty() && codePage.CompareNoCase(directory == nullptr ? "" : directory,
                                                            record.LogDir.c_str()) == 0;
}

enum class KeyDeletion { Deleted, Absent, Refused };

// An empty name would address the parent key itself: there is no key to delete then. A key
// that another setup deleted first answers as absent; its parent may have gone with it.
KeyDeletion DeleteSubkey(const RegistryKey& parent, const std::string& name) {
    if (name.empty()) return KeyDeletion::Absent;
    if (!parent.is_open()) return KeyDeletion::Refused;
    switch (parent.registry().RegDeleteKeyA(parent.get(), name.c_str())) {
        case kErrorSuccess:
            return KeyDeletion::Deleted;
        case kErrorFileNotFound:
        case kErrorKeyDeleted:
            return KeyDeletion::Absent;
        default:
            return KeyDeletion::Refused;
    }
}

}  // namespace

int InstalledComponents::InitV7Info() {
    productKey_ = OpenKey(registry_, kHkeyLocalMachine, kProductKeyPath);
    uninstallRootKey_ = OpenKey(registry_, kHkeyLocalMachine, kUninstallRootPath);
    // The product scan completes what the uninstall scan catalogued, so it runs second.
    if (uninstallRootKey_.is_open()) {
        ScanUninstallRoot(uninstallRootKey_, codePage_, catalog_, observer_);
    }
    if (productKey_.is_open()) ScanProductKey(productKey_, codePage_, catalog_, observer_);
    return productKey_.is_open() || uninstallRootKey_.is_open() ? 1 : 0;
}

ComponentCatalog::Entries::const_iterator InstalledComponents::FirstLoggedIn(
    const char* directory) const noexcept {
    for (auto it = catalog_.begin(); it != catalog_.end(); ++it) {
        if (LogsIn(it->second, directory, codePage_)) return it;
    }
    return catalog_.end();
}

int InstalledComponents::FindISUInCatalog(const char* directory, char* logFileName) {
    if (logFileName == nullptr) return 0;
    // Cleared first, so that a call that ends early on any path leaves "".
    logFileName[0] = '\0';
    const auto found = FirstLoggedIn(directory);
    if (found == catalog_.end()) return 0;
    return CopyToBuffer(found->second.LogFile, logFileName, kRegistryTextBuffer) ? 1 : 0;
}

// A component counts as removed when this call deleted at least one of its keys. One whose keys
// were all gone already was removed by someone else, who counted it.
InstalledComponents::Pruned InstalledComponents::PruneRecords(const ComponentRecord& record) {
    const KeyDeletion deletions[] = {DeleteSubkey(productKey_, record.ComponentKey),
                                     DeleteSubkey(uninstallRootKey_, record.UninstallKey)};
    const auto any = [&](KeyDeletion wanted) {
        return std::find(std::begin(deletions), std::end(deletions), wanted) != std::end(deletions);
    };
    if (any(KeyDeletion::Deleted)) return Pruned::Removed;
    return any(KeyDeletion::Refused) ? Pruned::Refused : Pruned::AlreadyGone;
}

int InstalledComponents::RemoveAllInCatExcept(const char* directory, const char* argumentsToKeep) {
    const std::string kept = ArgumentText(argumentsToKeep);
    // Taken at the first component to prune: a call with nothing to prune never waits.
    std::optional<SharedStateGuard> guard;
    std::uint32_t removed = 0;
    for (auto it = catalog_.begin(); it != catalog_.end();) {
        const ComponentRecord& record = it->second;
        if (!LogsIn(record, directory, codePage_) ||
            codePage_.EqualNoCase(kept, record.UninstallArgs)) {
            ++it;
            continue;
        }
        // Pruned without the lock, the counter could lose a peer's decrement or count one
        // twice: every entry stays for a later call instead.
        if (!guard && !guard.emplace(sharedState_).held()) return 1;
        const Pruned pruned = PruneRecords(record);
        if (pruned == Pruned::Removed) ++removed;
        // A counted component, or one whose keys were gone already, leaves the catalogue so that
        // no later call counts it; one of which nothing could be deleted stays to be tried again.
        it = pruned == Pruned::Refused ? std::next(it) : catalog_.Erase(it);
    }
    LowerComponentCounter(registry_, removed);
    return 1;
}

}  // namespace instdll
