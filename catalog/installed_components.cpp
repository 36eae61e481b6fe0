#include "catalog/installed_components.h"

#include "registry/registry_paths.h"

namespace instdll {
namespace {

// The caller's buffer for a log file name: a registry text value's 256 bytes.
constexpr std::size_t kLogFileNameCapacity = 256;

}  // namespace

int InstalledComponents::InitV7Info() {
    productKey_ = OpenKey(registry_, kHkeyLocalMachine, kProductKeyPath);
    uninstallRootKey_ = OpenKey(registry_, kHkeyLocalMachine, kUninstallRootPath);
    return productKey_.is_open() || uninstallRootKey_.is_open() ? 1 : 0;
}

int InstalledComponents::FindISUInCatalog(const char* directory, char* logFileName) {
    if (logFileName == nullptr) return 0;
    const std::string wanted = ArgumentText(directory);
    for (const auto& [key, record] : catalog_) {
        // An entry without a log directory has no log to name, whatever the argument.
        if (!record.LogDir.empty() && codePage_.EqualNoCase(wanted, record.LogDir)) {
            return CopyToBuffer(record.LogFile, logFileName, kLogFileNameCapacity) ? 1 : 0;
        }
    }
    logFileName[0] = '\0';
    return 0;
}

int InstalledComponents::RemoveAllInCatExcept(const char*, const char*) { return 1; }

}  // namespace instdll
