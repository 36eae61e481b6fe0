#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "registry/registry_access.h"

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
class RecordingRegistry final : public RegistryAccess {
public:
    explicit RecordingRegistry(RegistryAccess& inner) : inner_(inner) {}

    long RegOpenKeyExA(RegHandle key, const char* subKey, std::uint32_t options,
                       std::uint32_t access, RegHandle* result) override;
    long RegCreateKeyExA(RegHandle key, const char* subKey, const char* keyClass,
                         std::uint32_t options, std::uint32_t access, RegHandle* result,
                         std::uint32_t* disposition) override;
    long RegCreateKeyA(RegHandle key, const char* subKey, RegHandle* result) override;
    long RegEnumKeyA(RegHandle key, std::uint32_t index, char* name,
                     std::uint32_t nameSize) override;
    long RegEnumValueA(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                       std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override;
    long RegQueryValueExA(RegHandle key, const char* valueName, std::uint32_t* type,
                          std::uint8_t* data, std::uint32_t* dataSize) override;
    long RegSetValueExA(RegHandle key, const char* valueName, std::uint32_t type,
                        const std::uint8_t* data, std::uint32_t dataSize) override;
    long RegDeleteKeyA(RegHandle key, const char* subKey) override;
    long RegDeleteValueA(RegHandle key, const char* valueName) override;
    long RegCloseKey(RegHandle key) override;

    const std::vector<KeyDeletion>& deletions() const { return deletions_; }
    const std::vector<ValueWrite>& writes() const { return writes_; }

private:
    std::string PathOf(RegHandle key, const char* subKey) const;
    long Opened(long result, RegHandle key, const char* subKey, const RegHandle* opened);

    RegistryAccess& inner_;
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
