// Catalogue construction, lookup and pruning on an in-memory registry built from the input,
// with an optional injected registry failure. Checks that no handle leaks, that the caller's
// buffer is never overrun, and that pruning is final: what it pruned is gone from the
// catalogue unless a key of it could not be deleted, and once a retry has taken what the
// injected failure left, a repeat changes no count.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "catalog/installed_components.h"
#include "catalog/registry_values.h"
#include "registry/memory_registry.h"
#include "registry/registry_key.h"
#include "registry/registry_paths.h"
#include "registry/shared_state_lock.h"
#include "text/host_code_page.h"

namespace {

using namespace instdll;

constexpr std::size_t kLogFileBuffer = 256;
constexpr std::size_t kGuard = 32;
constexpr std::size_t kModuleKeys = 2;

void Require(bool condition) {
    if (!condition) std::abort();
}

std::string FamilyName(FuzzedDataProvider& input) {
    const bool prefixed = input.ConsumeBool();
    return (prefixed ? "Zk:" : "") + input.ConsumeRandomLengthString(260);
}

// A value that is absent, text, or any type and bytes.
void SeedValue(FuzzedDataProvider& input, MemoryRegistry& registry, RegHandle key,
               const char* valueName) {
    switch (input.ConsumeIntegralInRange(0, 2)) {
        case 0:
            return;
        case 1: {
            const std::string text = input.ConsumeRandomLengthString(300);
            registry.RegSetValueExA(key, valueName, kRegSz,
                                    reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                    static_cast<std::uint32_t>(text.size() + 1));
            return;
        }
        default: {
            const auto type = input.ConsumeIntegralInRange<std::uint32_t>(0, 11);
            const std::vector<std::uint8_t> bytes =
                input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 300));
            registry.RegSetValueExA(key, valueName, type, bytes.data(),
                                    static_cast<std::uint32_t>(bytes.size()));
        }
    }
}

RegistryKey CreateKey(MemoryRegistry& registry, RegHandle parent, const std::string& path) {
    RegistryKey key(registry);
    std::uint32_t disposition = 0;
    registry.RegCreateKeyExA(parent, path.c_str(), "", 0, kKeyAllAccess, key.put(), &disposition);
    return key;
}

// Subkeys are made under the root's handle rather than by their full paths, which would walk
// the root's five levels for each of them.
void SeedSubkeys(FuzzedDataProvider& input, MemoryRegistry& registry, const char* rootPath,
                 std::initializer_list<const char*> valueNames) {
    if (!input.ConsumeBool()) return;
    const int count = input.ConsumeIntegralInRange(0, 12);
    if (count == 0) return;
    const RegistryKey root = CreateKey(registry, kHkeyLocalMachine, rootPath);
    for (int i = 0; i < count; ++i) {
        const RegistryKey key = CreateKey(registry, root.get(), FamilyName(input));
        if (!key.is_open()) continue;
        for (const char* valueName : valueNames) SeedValue(input, registry, key.get(), valueName);
    }
}

void SeedCounter(FuzzedDataProvider& input, MemoryRegistry& registry) {
    if (!input.ConsumeBool()) return;
    const RegistryKey key = CreateKey(registry, kHkeyLocalMachine, kComponentCounterPath);
    SeedValue(input, registry, key.get(), kComponentCounterValue);
}

std::optional<NumberValue> Counter(MemoryRegistry& registry) {
    const RegistryKey key = OpenKey(registry, kHkeyLocalMachine, kComponentCounterPath);
    return key.is_open() ? ReadNumberValue(key, kComponentCounterValue) : std::nullopt;
}

bool SameCounter(const std::optional<NumberValue>& a, const std::optional<NumberValue>& b) {
    return a.has_value() == b.has_value() && (!a || (a->bits == b->bits && a->type == b->type));
}

// A directory that some entry logs in, in another letter case, or anything.
std::string Directory(FuzzedDataProvider& input, const ComponentCatalog& catalog) {
    if (catalog.empty() || input.ConsumeBool()) return input.ConsumeRandomLengthString(260);
    auto entry = catalog.begin();
    std::advance(entry, static_cast<std::ptrdiff_t>(
                            input.ConsumeIntegralInRange<std::size_t>(0, catalog.size() - 1)));
    return entry->second.LogDir;
}

void CheckFind(InstalledComponents& components, const std::string& directory,
               const AnsiCodePage& codePage) {
    std::array<char, kLogFileBuffer + kGuard> buffer;
    buffer.fill('\x7F');
    const int found = components.FindISUInCatalog(directory.c_str(), buffer.data());
    const char* end = static_cast<const char*>(std::memchr(buffer.data(), 0, kLogFileBuffer));
    Require(end != nullptr);
    for (std::size_t i = kLogFileBuffer; i < buffer.size(); ++i) Require(buffer[i] == '\x7F');
    const std::string logFile(static_cast<const char*>(buffer.data()), end);
    bool named = false;
    for (const auto& [key, record] : components.catalog()) {
        if (!record.LogDir.empty() && codePage.EqualNoCase(directory, record.LogDir)) {
            Require(found == 1 && record.LogFile == logFile);
            named = true;
            break;
        }
    }
    Require(named || (found == 0 && logFile.empty()));
}

bool KeyThere(MemoryRegistry& registry, const char* parentPath, const std::string& name) {
    return !name.empty() &&
           OpenKey(registry, kHkeyLocalMachine, (std::string(parentPath) + "\\" + name).c_str())
               .is_open();
}

// A pruned component stays catalogued only while a key of it is still there.
void CheckPruned(MemoryRegistry& registry, const InstalledComponents& components,
                 const std::string& directory, const std::string& kept,
                 const AnsiCodePage& codePage) {
    for (const auto& [key, record] : components.catalog()) {
        Require(record.LogDir.empty() || !codePage.EqualNoCase(directory, record.LogDir) ||
                codePage.EqualNoCase(kept, record.UninstallArgs) ||
                KeyThere(registry, kProductKeyPath, record.ComponentKey) ||
                KeyThere(registry, kUninstallRootPath, record.UninstallKey));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const HostCodePage western(1252);
    static const HostCodePage japanese(932);
    FuzzedDataProvider input(data, size);
    const AnsiCodePage& codePage = input.ConsumeBool() ? japanese : western;

    MemoryRegistry registry;
    SeedSubkeys(input, registry, kUninstallRootPath, {kDisplayNameValue, kUninstallStringValue});
    SeedSubkeys(input, registry, kProductKeyPath, {kFolderValue, kPathValue, kRegMethodValue});
    SeedCounter(input, registry);
    const auto failing =
        static_cast<RegOperation>(input.ConsumeIntegralInRange<std::size_t>(0, kRegOperationCount));
    const bool closesFail = failing == RegOperation::CloseKey;
    if (static_cast<std::size_t>(failing) < kRegOperationCount) {
        registry.FailOperation(failing, input.PickValueInArray({2L, 5L, 6L, 234L, 259L}),
                               input.ConsumeIntegralInRange(0u, 40u));
    }
    {
        UnsharedState unshared;
        InstalledComponents components(registry, codePage, unshared);
        components.InitV7Info();
        Require(closesFail || registry.OpenHandleCount() <= kModuleKeys);

        const std::string directory = Directory(input, components.catalog());
        const std::string kept = input.ConsumeRandomLengthString(260);
        CheckFind(components, directory, codePage);
        components.RemoveAllInCatExcept(directory.c_str(), kept.c_str());
        Require(closesFail || registry.OpenHandleCount() <= kModuleKeys);

        registry.ClearFailures();
        CheckPruned(registry, components, directory, kept, codePage);
        components.RemoveAllInCatExcept(directory.c_str(), kept.c_str());
        CheckPruned(registry, components, directory, kept, codePage);
        const std::size_t entries = components.catalog().size();
        const std::optional<NumberValue> counter = Counter(registry);
        components.RemoveAllInCatExcept(directory.c_str(), kept.c_str());
        Require(components.catalog().size() == entries);
        Require(SameCounter(Counter(registry), counter));

        components.InitV7Info();
        Require(closesFail || registry.OpenHandleCount() <= kModuleKeys);
    }
    Require(closesFail || registry.OpenHandleCount() == 0);
    return 0;
}
