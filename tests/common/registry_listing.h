#pragma once

// Lists every key and value under the two roots the library uses, so that two registries can
// be compared key by key.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "registry/registry_key.h"

namespace instdll::testing {

// Text bytes as they are, the zero and anything outside printable ASCII as \xNN.
inline std::string ShownBytes(const std::uint8_t* data, std::uint32_t size) {
    std::string shown;
    for (std::uint32_t i = 0; i < size; ++i) {
        if (data[i] >= 0x20 && data[i] < 0x7F) {
            shown += static_cast<char>(data[i]);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", data[i]);
            shown += hex;
        }
    }
    return shown;
}

inline void ListKey(RegistryAccess& registry, RegHandle key, const std::string& path,
                    std::vector<std::string>& lines) {
    lines.push_back("[" + path + "]");
    std::vector<std::string> values;
    for (std::uint32_t index = 0;; ++index) {
        std::array<char, 16384> name{};
        std::vector<std::uint8_t> data(1 << 20);
        auto nameSize = static_cast<std::uint32_t>(name.size());
        auto dataSize = static_cast<std::uint32_t>(data.size());
        std::uint32_t type = 0;
        if (registry.RegEnumValueA(key, index, name.data(), &nameSize, &type, data.data(),
                                   &dataSize) != kErrorSuccess) {
            break;
        }
        values.push_back(
            (name[0] == '\0' ? std::string("@") : "\"" + std::string(name.data()) + "\"") + "=" +
            std::to_string(type) + ":" + ShownBytes(data.data(), dataSize));
    }
    std::sort(values.begin(), values.end());
    lines.insert(lines.end(), values.begin(), values.end());
    for (std::uint32_t index = 0;; ++index) {
        std::array<char, 256> name{};
        if (registry.RegEnumKeyA(key, index, name.data(), name.size()) != kErrorSuccess) break;
        RegistryKey child = OpenKey(registry, key, name.data());
        if (child.is_open()) ListKey(registry, child.get(), path + "\\" + name.data(), lines);
    }
}

inline std::vector<std::string> ListRegistry(RegistryAccess& registry) {
    std::vector<std::string> lines;
    ListKey(registry, kHkeyLocalMachine, "HKLM", lines);
    ListKey(registry, kHkeyCurrentUser, "HKCU", lines);
    return lines;
}

}  // namespace instdll::testing
