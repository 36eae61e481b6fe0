#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalog/component_record.h"
#include "catalog/scan_observer.h"
#include "inspect/recording_registry.h"
#include "registry/registry_access.h"
#include "registry/registry_view.h"
#include "text/ansi_text.h"

// Each question runs the library's own code on the registry it is given, exactly as the DLL's
// exports would on the customer's machine, and reports what that code did. The registry holds
// keys where the machine stores them; `view` is the DLL's, and every key an answer names is the
// machine's. Text is ANSI bytes.
namespace instdll::inspect {

struct SkippedSubkey {
    ScannedKey scanned;
    std::string name;
    SkipReason reason;
    std::string value;
};

struct CatalogueAnswer {
    int initResult = 0;
    std::vector<std::pair<std::string, ComponentRecord>> entries;  // in catalogue order
    std::vector<SkippedSubkey> skipped;                            // in scan order
};

struct FindAnswer {
    int result = 0;
    std::string logFile;
};

struct PruneAnswer {
    std::vector<std::string> prunedKeys;  // catalogue keys
    std::vector<KeyDeletion> deletions;   // in the order the library deleted
    std::optional<ValueSnapshot> counterBefore;
    std::optional<ValueSnapshot> counterAfter;
    std::optional<ValueWrite> counterWrite;  // none when the library left the counter alone
};

struct TitleAnswer {
    long result = 0;
    std::optional<ValueSnapshot> stored;
};

CatalogueAnswer AskCatalogue(RegistryAccess& machine, RegistryView view,
                             const AnsiCodePage& codePage);
FindAnswer AskFind(RegistryAccess& machine, RegistryView view, const AnsiCodePage& codePage,
                   const std::string& directory);
PruneAnswer AskPrune(RegistryAccess& machine, RegistryView view, const AnsiCodePage& codePage,
                     const std::string& directory, const std::string& argumentsToKeep);
TitleAnswer AskTitle(RegistryAccess& machine, RegistryView view, const std::string& valueName,
                     const std::string& title);

}  // namespace instdll::inspect
