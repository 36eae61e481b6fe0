#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "registry/forwarding_registry.h"

namespace instdll::inspect {

struct ValueSnapshot {
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// A key the library deleted, or tried to, with the values it held just before.
struct KeyDeletion {
    std::string path;  // from the root's full name, in the ANSI code page
    long result = 0;
    std::vector<ValueSnapshot> values;
};

// A value the library wrote, with what it held before (nothing when it was absent).
struct ValueWrite {
    std::string keyPath;
    std::optional<ValueSnapshot> before;
    ValueSnapshot after;
};

// Passes every call to the registry underneath and writes down what the library deletes and
// writes, with the state just before, so that a question's answer is what the library did.
class RecordingRegistry final : public KeyWatchingRegistry {
public:
    using KeyWatchingRegistry::KeyWatchingRegistry;

    long RegSetValueExA(RegHandle key, const char* valueName, std::uint32_t type,
                        const std::uint8_t* data, std::uint32_t dataSize) override;
    long RegDeleteKeyA(RegHandle key, const char* subKey) override;

    const std::vector<KeyDeletion>& deletions() const { return deletions_; }
    const std::vector<ValueWrite>& writes() const { return writes_; }

private:
    std::string PathOf(RegHandle key, const char* subKey) const;
    void KeyOpened(RegHandle parent, const char* subKey, RegHandle opened) override;
    void KeyClosed(RegHandle key) override { paths_.erase(key); }

    std::map<RegHandle, std::string> paths_;
    std::vector<KeyDeletion> deletions_;
    std::vector<ValueWrite> writes_;
};

// Every value of root\path, in the registry's order; empty when the key does not open.
std::vector<ValueSnapshot> ValuesOf(RegistryAccess& registry, RegHandle root,
                                    const std::string& path);
std::optional<ValueSnapshot> ValueOf(RegistryAccess& registry, RegHandle root,
                                     const std::string& path, const std::string& name);

}  // namespace instdll::inspect
