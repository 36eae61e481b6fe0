#pragma once

// Seeds the uninstall list, the product key and the component counter through the registry
// layer, so that the same fixtures serve the in-memory registry and the real one.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

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

// The backslash before the path's last key name. Under a double-byte ANSI code page the second
// byte of a character in that name may be 0x5C too.
inline std::size_t LastKeySeparator(const std::string& path) {
    std::size_t last = std::string::npos;
    for (std::size_t at = 0; at < path.size(); ++at) {
        if (path[at] == '\\') last = at;
#ifdef _WIN32
        else if (IsDBCSLeadByte(static_cast<BYTE>(path[at])))
            ++at;
#endif
    }
    return last;
}

// Windows converts an ANSI path through a buffer of MAX_PATH characters, so a path that ends in
// a subkey name of 255 characters is reached through its parent.
template <typename Reach>
RegistryKey ReachMachineKey(RegistryAccess& registry, const std::string& path, Reach reach) {
    const std::size_t cut = LastKeySeparator(path);
    RegistryKey parent(registry);
    if (cut != std::string::npos) parent = reach(kHkeyLocalMachine, path.substr(0, cut));
    if (cut != std::string::npos && !parent.is_open()) return parent;
    return reach(parent.is_open() ? parent.get() : kHkeyLocalMachine,
                 cut == std::string::npos ? path : path.substr(cut + 1));
}

// HKEY_LOCAL_MACHINE\path, created with its parents if missing; not open when that failed.
inline RegistryKey CreateMachineKey(RegistryAccess& registry, const std::string& path) {
    return ReachMachineKey(registry, path, [&](RegHandle base, const std::string& subKey) {
        RegistryKey key(registry);
        std::uint32_t disposition = 0;
        registry.RegCreateKeyExA(base, subKey.c_str(), "", 0, kKeyAllAccess, key.put(),
                                 &disposition);
        return key;
    });
}

inline RegistryKey OpenMachineKey(RegistryAccess& registry, const std::string& path) {
    return ReachMachineKey(registry, path, [&](RegHandle base, const std::string& subKey) {
        return OpenKey(registry, base, subKey.c_str());
    });
}

inline bool SeedKey(RegistryAccess& registry, const std::string& path) {
    return CreateMachineKey(registry, path).is_open();
}

// Stores exactly `data`. For a text type, Windows stores one byte more when the byte after the
// data is zero, taking it for a forgotten terminator; a non-zero byte there prevents that.
inline bool SeedValue(RegistryAccess& registry, const std::string& path, const char* valueName,
                      std::uint32_t type, const Bytes& data) {
    RegistryKey key = CreateMachineKey(registry, path);
    Bytes guarded = data;
    guarded.push_back(0xFF);
    return key.is_open() &&
           registry.RegSetValueExA(key.get(), valueName, type, guarded.data(),
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
    return OpenMachineKey(registry, path).is_open();
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
    RegistryKey key = OpenMachineKey(registry, path);
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

// The program that every uninstall command of the family runs.
inline constexpr char kFamilyUninstaller[] = "C:\\Program Files\\Zk\\Common\\zkuninst.exe";

// The uninstall command of a component whose log lies in `logDir`.
inline std::string UninstallCommand(const std::string& logDir, const std::string& logFile,
                                    const std::string& arguments) {
    return std::string(kFamilyUninstaller) + " -f\"" + logDir + logFile + "\" " + arguments +
           " -c\"" + logDir + "uninst.dll\"";
}

// A component in the uninstall list, logged as l.isu in `logDir`, whose catalogue key is
// `subkey` followed by " Net".
inline bool SeedLoggedComponent(RegistryAccess& registry, const std::string& subkey,
                                const std::string& logDir, const std::string& arguments) {
    return SeedUninstallEntry(registry, subkey, subkey + " 7.5 Net",
                              UninstallCommand(logDir, "l.isu", arguments));
}

}  // namespace instdll::testing
