#include "inspect/recording_registry.h"

#include "inspect/registry_import.h"
#include "registry/registry_key.h"

namespace instdll::inspect {
namespace {

// The registry's limits: value names of 16,383 characters, data as large as the source held.
constexpr std::uint32_t kLongestValueName = 16384;

std::string NameText(const char* text) { return text == nullptr ? std::string() : text; }

std::optional<ValueSnapshot> QueryValue(RegistryAccess& registry, RegHandle key,
                                        const std::string& name) {
    ValueSnapshot value{name, 0, {}};
    std::uint32_t size = 0;
    if (registry.RegQueryValueExA(key, name.c_str(), &value.type, nullptr, &size) !=
        kErrorSuccess) {
        return std::nullopt;
    }
    value.data.resize(size);
    if (registry.RegQueryValueExA(key, name.c_str(), &value.type, value.data.data(), &size) !=
        kErrorSuccess) {
        return std::nullopt;
    }
    return value;
}

std::vector<ValueSnapshot> ValuesOfKey(RegistryAccess& registry, RegHandle key) {
    std::vector<ValueSnapshot> values;
    std::string name(kLongestValueName, '\0');
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t nameSize = kLongestValueName;
        if (registry.RegEnumValueA(key, index, name.data(), &nameSize, nullptr, nullptr, nullptr) !=
            kErrorSuccess) {
            return values;
        }
        if (auto value = QueryValue(registry, key, std::string(name.data(), nameSize))) {
            values.push_back(std::move(*value));
        }
    }
}

}  // namespace

std::vector<ValueSnapshot> ValuesOf(RegistryAccess& registry, RegHandle root,
                                    const std::string& path) {
    RegistryKey key = OpenKey(registry, root, path.c_str());
    return key.is_open() ? ValuesOfKey(registry, key.get()) : std::vector<ValueSnapshot>();
}

std::optional<ValueSnapshot> ValueOf(RegistryAccess& registry, RegHandle root,
                                     const std::string& path, const std::string& name) {
    RegistryKey key = OpenKey(registry, root, path.c_str());
    return key.is_open() ? QueryValue(registry, key.get(), name) : std::nullopt;
}

std::string RecordingRegistry::PathOf(RegHandle key, const char* subKey) const {
    auto known = paths_.find(key);
    std::string path = known != paths_.end() ? known->second : RootName(key);
    const std::string sub = NameText(subKey);
    if (!sub.empty()) path += "\\" + sub;
    return path;
}

void RecordingRegistry::KeyOpened(RegHandle parent, const char* subKey, RegHandle opened) {
    paths_[opened] = PathOf(parent, subKey);
}

long RecordingRegistry::RegSetValueExA(RegHandle key, const char* valueName, std::uint32_t type,
                                       const std::uint8_t* data, std::uint32_t dataSize) {
    ValueWrite write;
    write.keyPath = PathOf(key, nullptr);
    write.before = QueryValue(inner(), key, NameText(valueName));
    const long result = inner().RegSetValueExA(key, valueName, type, data, dataSize);
    if (result == kErrorSuccess) {
        write.after = {NameText(valueName), type,
                       std::vector<std::uint8_t>(data, data + (data == nullptr ? 0 : dataSize))};
        writes_.push_back(std::move(write));
    }
    return result;
}

long RecordingRegistry::RegDeleteKeyA(RegHandle key, const char* subKey) {
    KeyDeletion deletion;
    deletion.path = PathOf(key, subKey);
    {
        RegistryKey doomed = OpenKey(inner(), key, NameText(subKey).c_str());
        if (doomed.is_open()) deletion.values = ValuesOfKey(inner(), doomed.get());
    }
    deletion.result = inner().RegDeleteKeyA(key, subKey);
    deletions_.push_back(std::move(deletion));
    return deletions_.back().result;
}

}  // namespace instdll::inspect
