#include "catalog/installed_components.h"

#include "catalog/component_counter.h"
#include "catalog/registry_scans.h"
#include "registry/registry_paths.h"

namespace instdll {
namespace {

// The caller's buffer for a log file name: a registry text value's 256 bytes.
constexpr std::size_t kLogFileNameCapacity = 256;

// An entry without a log directory has no log to name, whatever the argument.
bool LogsIn(const ComponentRecord& record, const char* directory, const AnsiCodePage& codePage) {
    return !record.LogDir.empty() && codePage.CompareNoCase(directory == nullptr ? "" : directory,
                                                            record.LogDir.c_str()) == 0;
}

// An empty name would address the parent key itself, and a closed parent has nothing to delete.
void DeleteSubkey(const RegistryKey& parent, const std::string& name) {
    if (parent.is_open() && !name.empty()) {
        parent.registry().RegDeleteKeyA(parent.get(), name.c_str());
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
    return CopyToBuffer(found->second.LogFile, logFileName, kLogFileNameCapacity) ? 1 : 0;
}

int InstalledComponents::RemoveAllInCatExcept(const char* directory, const char* argumentsToKeep) {
    const std::string kept = ArgumentText(argumentsToKeep);
    ComponentCounter counter(registry_);
    for (auto it = catalog_.begin(); it != catalog_.end();) {
        const ComponentRecord& record = it->second;
        if (!LogsIn(record, directory, codePage_) ||
            codePage_.EqualNoCase(kept, record.UninstallArgs)) {
            ++it;
            continue;
        }
        DeleteSubkey(productKey_, record.ComponentKey);
        DeleteSubkey(uninstallRootKey_, record.UninstallKey);
        // The count goes down whatever the deletes answered; the entry leaves the catalogue so
        // that a repeated call cannot count it twice.
        counter.Lower();
        it = catalog_.Erase(it);
    }
    counter.WriteBack();
    return 1;
}

}  // namespace instdll
