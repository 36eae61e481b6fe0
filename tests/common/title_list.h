#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "registry/registry_key.h"
#include "registry/registry_paths.h"

namespace instdll::testing {

// The first key of the titles path that the product family owns: tests remove it whole.
inline constexpr char kFamilyUserKey[] = "Software\\Zk";

// One value of the titles key; `data` holds the stored bytes exactly.
struct TitleValue {
    std::string name;
    std::uint32_t type = kRegSz;
    std::string data;

    bool operator==(const TitleValue& other) const {
        return name == other.name && type == other.type && data == other.data;
    }
};

inline std::ostream& operator<<(std::ostream& out, const TitleValue& value) {
    return out << '{' << value.name << ", " << value.type << ", \"" << value.data << "\" ("
               << value.data.size() << " bytes)}";
}

// A string as RegDBAddToTitles stores it: its bytes and a terminating zero.
inline std::string Sz(const std::string& text) { return text + '\0'; }

// Writes `values` into the titles key, creating it.
inline void SeedTitles(RegistryAccess& registry, const std::vector<TitleValue>& values) {
    RegistryKey key(registry);
    std::uint32_t disposition = 0;
    registry.RegCreateKeyExA(kHkeyCurrentUser, kTitlesPath, "", 0, kKeyAllAccess, key.put(),
                             &disposition);
    for (const TitleValue& value : values) {
        registry.RegSetValueExA(key.get(), value.name.c_str(), value.type,
                                reinterpret_cast<const std::uint8_t*>(value.data.data()),
                                static_cast<std::uint32_t>(value.data.size()));
    }
}

// Every value of the titles key in enumeration order, read with room for any name and data;
// nullopt when the key is missing. The buffers start small and grow on 234, so that reading a
// short list does not cost the registry's limits.
inline std::optional<std::vector<TitleValue>> ReadTitles(RegistryAccess& registry) {
    constexpr std::size_t kLongestName = 16384;
    constexpr std::size_t kLargestData = 65536;
    RegistryKey key = OpenKey(registry, kHkeyCurrentUser, kTitlesPath);
    if (!key.is_open()) return std::nullopt;
    std::vector<TitleValue> values;
    std::string name(256, '\0');
    std::string data(256, '\0');
    for (std::uint32_t index = 0;;) {
        auto nameSize = static_cast<std::uint32_t>(name.size());
        auto dataSize = static_cast<std::uint32_t>(data.size());
        TitleValue value;
        const long result =
            registry.RegEnumValueA(key.get(), index, name.data(), &nameSize, &value.type,
                                   reinterpret_cast<std::uint8_t*>(data.data()), &dataSize);
        const bool full = name.size() == kLongestName && data.size() == kLargestData;
        if (result == kErrorMoreData && !full) {
            name.resize(std::min(name.size() * 2, kLongestName));
            data.resize(std::min(data.size() * 2, kLargestData));
            continue;
        }
        if (result != kErrorSuccess) return values;
        value.name.assign(name.data(), nameSize);
        value.data.assign(data.data(), dataSize);
        values.push_back(std::move(value));
        ++index;
    }
}

}  // namespace instdll::testing
