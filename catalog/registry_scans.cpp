#include "catalog/registry_scans.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "catalog/family_prefix.h"
#include "catalog/registry_values.h"
#include "catalog/split_path.h"
#include "catalog/uninstall_entry.h"
#include "registry/registry_paths.h"

namespace instdll {
namespace {

// Passes what a scan skips on to its observer, if it has one.
class SkipNotes {
public:
    SkipNotes(ScanObserver* observer, ScannedKey scanned)
        : observer_(observer), scanned_(scanned) {}

    void Skipped(const std::string& subkey, SkipReason reason, const char* value = "") const {
        if (observer_ != nullptr) observer_->SubkeySkipped(scanned_, subkey, reason, value);
    }

    // The text of `value`, or nothing and a note why the subkey is skipped.
    std::optional<std::string> Text(const RegistryKey& subkey, const std::string& name,
                                    const char* value) const {
        long error = kErrorSuccess;
        std::optional<std::string> text = ReadTextValue(subkey, value, &error);
        if (!text) {
            Skipped(name,
                    error == kErrorFileNotFound ? SkipReason::ValueMissing
                    : error == kErrorMoreData   ? SkipReason::ValueTooLong
                                                : SkipReason::ValueUnread,
                    value);
        }
        return text;
    }

private:
    ScanObserver* observer_;
    ScannedKey scanned_;
};

// Calls visit(name, subkey) for every subkey of `root` whose name carries the family prefix
// and that opens with full access; the subkey is closed when visit returns. The walk ends at
// the first enumeration error, as the index would not recover from one.
template <typename Visit>
void ForEachFamilySubkey(const RegistryKey& root, const AnsiCodePage& codePage,
                         const SkipNotes& notes, Visit visit) {
    RegistryAccess& registry = root.registry();
    std::array<char, kRegistryTextBuffer> buffer{};
    for (std::uint32_t index = 0;; ++index) {
        if (registry.RegEnumKeyA(root.get(), index, buffer.data(), kRegistryTextBuffer) !=
            kErrorSuccess) {
            return;
        }
        const std::string name(buffer.begin(), std::find(buffer.begin(), buffer.end(), '\0'));
        if (!HasFamilyPrefix(name, codePage)) {
            notes.Skipped(name, SkipReason::NoFamilyPrefix);
            continue;
        }
        RegistryKey subkey(registry);
        if (registry.RegOpenKeyExA(root.get(), name.c_str(), 0, kKeyAllAccess, subkey.put()) !=
            kErrorSuccess) {
            notes.Skipped(name, SkipReason::NotOpened);
            continue;
        }
        visit(name, subkey);
    }
}

}  // namespace

void ScanUninstallRoot(const RegistryKey& uninstallRoot, const AnsiCodePage& codePage,
                       ComponentCatalog& catalog, ScanObserver* observer) {
    const SkipNotes notes(observer, ScannedKey::UninstallRoot);
    ForEachFamilySubkey(
        uninstallRoot, codePage, notes, [&](const std::string& name, const RegistryKey& subkey) {
            const std::optional<std::string> displayName =
                notes.Text(subkey, name, kDisplayNameValue);
            if (!displayName) return;
            const std::optional<std::string> command =
                notes.Text(subkey, name, kUninstallStringValue);
            if (!command) return;
            UninstallCommandParts parts = ParseUninstallCommand(*command, codePage);
            ComponentRecord record;
            record.UninstallKey = name;
            record.LogDir = std::move(parts.LogDir);
            record.LogFile = std::move(parts.LogFile);
            record.UninstallArgs = std::move(parts.UninstallArgs);
            record.CustomDll = std::move(parts.CustomDll);
            if (!catalog.InsertIfAbsent(CatalogKeyOfDisplayName(*displayName, codePage), record)
                     .second) {
                notes.Skipped(name, SkipReason::KeyTaken);
            }
        });
}

void ScanProductKey(const RegistryKey& productKey, const AnsiCodePage& codePage,
                    ComponentCatalog& catalog, ScanObserver* observer) {
    const SkipNotes notes(observer, ScannedKey::ProductKey);
    ForEachFamilySubkey(
        productKey, codePage, notes, [&](const std::string& name, const RegistryKey& subkey) {
            std::optional<std::string> folder = notes.Text(subkey, name, kFolderValue);
            if (!folder) return;
            const std::optional<std::string> path = notes.Text(subkey, name, kPathValue);
            if (!path) return;
            PathParts pathParts = SplitPath(*path, codePage);
            // A component without a readable method gets 0, never the previous component's.
            const std::optional<NumberValue> regMethod = ReadNumberValue(subkey, kRegMethodValue);

            // An entry the uninstall scan made keeps its uninstall fields.
            ComponentRecord& entry = catalog.InsertIfAbsent(name, ComponentRecord{}).first;
            entry.ComponentKey = name;
            entry.Folder = std::move(*folder);
            entry.PathDir = std::move(pathParts.directory);
            entry.PathFile = std::move(pathParts.file);
            entry.RegMethod = regMethod ? regMethod->bits : 0;
        });
}

}  // namespace instdll
