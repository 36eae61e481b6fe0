#include "inspect/questions.h"

#include <array>

#include "catalog/installed_components.h"
#include "registry/registry_paths.h"
#include "utilities/titles.h"

namespace instdll::inspect {
namespace {

constexpr std::size_t kLogFileBuffer = 256;

// The questions run on a registry of the tool's own, which no other setup sees.
UnsharedState unshared;

class SkipList final : public ScanObserver {
public:
    void SubkeySkipped(ScannedKey scanned, const std::string& subkey, SkipReason reason,
                       const char* value) override {
        skipped.push_back({scanned, subkey, reason, value});
    }
    std::vector<SkippedSubkey> skipped;
};

std::optional<ValueSnapshot> Counter(RegistryAccess& registry) {
    return ValueOf(registry, kHkeyLocalMachine, kComponentCounterPath, kComponentCounterValue);
}

// Pruned entries leave the catalogue, and the rest keep their order.
std::vector<std::string> Gone(const ComponentCatalog& before, const ComponentCatalog& after) {
    std::vector<std::string> gone;
    auto kept = after.begin();
    for (const auto& [key, record] : before) {
        if (kept != after.end() && kept->first == key) {
            ++kept;
        } else {
            gone.push_back(key);
        }
    }
    return gone;
}

}  // namespace

CatalogueAnswer AskCatalogue(RegistryAccess& machine, RegistryView view,
                             const AnsiCodePage& codePage) {
    ViewedRegistry seen(machine, view);
    SkipList skips;
    InstalledComponents components(seen, codePage, unshared);
    components.ObserveScans(&skips);
    CatalogueAnswer answer;
    answer.initResult = components.InitV7Info();
    answer.entries.assign(components.catalog().begin(), components.catalog().end());
    answer.skipped = std::move(skips.skipped);
    return answer;
}

FindAnswer AskFind(RegistryAccess& machine, RegistryView view, const AnsiCodePage& codePage,
                   const std::string& directory) {
    ViewedRegistry seen(machine, view);
    InstalledComponents components(seen, codePage, unshared);
    components.InitV7Info();
    std::array<char, kLogFileBuffer> buffer{};
    FindAnswer answer;
    answer.result = components.FindISUInCatalog(directory.c_str(), buffer.data());
    answer.logFile = buffer.data();
    return answer;
}

PruneAnswer AskPrune(RegistryAccess& machine, RegistryView view, const AnsiCodePage& codePage,
                     const std::string& directory, const std::string& argumentsToKeep) {
    // Recorded beneath the view, the keys are named where the machine stores them.
    RecordingRegistry recording(machine);
    ViewedRegistry seen(recording, view);
    PruneAnswer answer;
    answer.counterBefore = Counter(seen);
    {
        InstalledComponents components(seen, codePage, unshared);
        components.InitV7Info();
        const ComponentCatalog before = components.catalog();
        components.RemoveAllInCatExcept(directory.c_str(), argumentsToKeep.c_str());
        answer.prunedKeys = Gone(before, components.catalog());
    }
    answer.counterAfter = Counter(seen);
    answer.deletions = recording.deletions();
    for (const ValueWrite& write : recording.writes()) answer.counterWrite = write;
    return answer;
}

TitleAnswer AskTitle(RegistryAccess& machine, RegistryView view, const std::string& valueName,
                     const std::string& title) {
    RecordingRegistry recording(machine);
    ViewedRegistry seen(recording, view);
    TitleAnswer answer;
    answer.result = AddToTitles(seen, unshared, valueName.c_str(), title.c_str());
    if (!recording.writes().empty()) answer.stored = recording.writes().back().after;
    return answer;
}

}  // namespace instdll::inspect
