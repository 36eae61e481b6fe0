#pragma once

// Seeds the uninstall list, the product key and the component counter through the registry
// layer, so that the same fixtures serve the in-memory registry and the real one.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registry/registry_key.h"
#include "registry/registry_paths.h"

namespace instdll::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes TextBytes(const std::string& text) {
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

inline Bytes NumberBytes(std::uint32_t number) {
    return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
}

inline std::string UninstallEntryPath(const std::string& subkey) {
    return std::string(kUninstallRootPath) + "\\" + subkey;
}

inline std::string ProductComponentPath(const std::string& subkey) {
    return std::string(kProductKeyPath) + "\\" + subkey;
}

// Creates HKEY_LOCAL_MACHINE\path; returns whether it could.
inline bool SeedKey(RegistryAccess& registry, const std::string& path) {
    RegistryKey key(registry);
    std::uint32_t disposition = 0;
    return registry.RegCreateKeyExA(kHkeyLocalMachine, path.c_str(), "", 0, kKeyAllAccess,
                                    key.put(), &disposition) == kErrorSuccess;
}

inline bool SeedValue(RegistryAccess& registry, const std::string& path, const char* valueName,
                      std::uint32_t type, const Bytes& data) {
    RegistryKey key(registry);
    std::uint32_t disposition = 0;
    if (registry.RegCreateKeyExA(kHkeyLocalMachine, path.c_str(), "", 0, kKeyAllAccess, key.put(),
                                 &disposition) != kErrorSuccess) {
        return false;
    }
    return registry.RegSetValueExA(key.get(), valueName, type, data.data(),
                                   static_cast<std::uint32_t>(data.size())) == kErrorSuccess;
}

inline bool SeedText(RegistryAccess& registry, const std::string& path, const char* valueName,
                     const std::string& text) {
    return SeedValue(registry, path, valueName, kRegSz, TextBytes(text));
}

inline bool SeedUninstallEntry(RegistryAccess& registry, const std::string& subkey,
                               const std::string& displayName, const std::string& command) {
    const std::string path = UninstallEntryPath(subkey);
    return SeedText(registry, path, kDisplayNameValue, displayName) &&
           SeedText(registry, path, kUninstallStringValue, command);
}

inline bool SeedProductComponent(RegistryAccess& registry, const std::string& subkey,
                                 const std::string& folder, const std::string& path,
                                 std::optional<std::uint32_t> regMethod = std::nullopt) {
    const std::string keyPath = ProductComponentPath(subkey);
    return SeedText(registry, keyPath, kFolderValue, folder) &&
           SeedText(registry, keyPath, kPathValue, path) &&
           (!regMethod ||
            SeedValue(registry, keyPath, kRegMethodValue, kRegDword, NumberBytes(*regMethod)));
}

inline bool SeedCounter(RegistryAccess& registry, std::uint32_t type, const Bytes& data) {
    return SeedValue(registry, kComponentCounterPath, kComponentCounterValue, type, data);
}

inline bool KeyExists(RegistryAccess& registry, const std::string& path) {
    return OpenKey(registry, kHkeyLocalMachine, path.c_str()).is_open();
}

struct RawValue {
    std::uint32_t type = 0;
    Bytes data;
    bool operator==(const RawValue& other) const {
        return type == other.type && data == other.data;
    }
};

inline std::optional<RawValue> ReadRawValue(RegistryAccess& registry, const std::string& path,
                                            const char* valueName) {
    RegistryKey key = OpenKey(registry, kHkeyLocalMachine, path.c_str());
    RawValue value;
    value.data.resize(1024);
    auto size = static_cast<std::uint32_t>(value.data.size());
    if (!key.is_open() || registry.RegQueryValueExA(key.get(), valueName, &value.type,
                                                    value.data.data(), &size) != kErrorSuccess) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

inline std::optional<RawValue> ReadCounter(RegistryAccess& registry) {
    return ReadRawValue(registry, kComponentCounterPath, kComponentCounterValue);
}

// The uninstall command of a component whose log lies in `logDir`.
inline std::string UninstallCommand(const std::string& logDir, const std::string& logFile,
                                    const std::string& arguments) {
    return "C:\\Setup\\Uninst.exe -f\"" + logDir + logFile + "\" " + arguments + " -c\"" + logDir +
           "uninst.dll\"";
}

// A component in the uninstall list, logged as l.isu in `logDir`, whose catalogue key is
// `subkey` followed by " Net".
inline bool SeedLoggedComponent(RegistryAccess& registry, const std::string& subkey,
                                const std::string& logDir, const std::string& arguments) {
    return SeedUninstallEntry(registry, subkey, subkey + " 7.5 Net",
                              UninstallCommand(logDir, "l.isu", arguments));
}

}  // namespace instdll::testing
