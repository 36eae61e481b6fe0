#include "catalog/registry_values.h"

#include <algorithm>
#include <array>

#include "text/ansi_text.h"

namespace instdll {
namespace {

constexpr std::uint32_t kNumberSize = 4;

}  // namespace

std::optional<std::string> ReadTextValue(const RegistryKey& key, const char* valueName,
                                         long* error) {
    std::array<std::uint8_t, kRegistryTextBuffer> buffer{};
    std::uint32_t size = kRegistryTextBuffer;
    std::uint32_t type = 0;
    const long result =
        key.registry().RegQueryValueExA(key.get(), valueName, &type, buffer.data(), &size);
    if (error != nullptr) *error = result;
    if (result != kErrorSuccess) return std::nullopt;
    return DeliveredText(buffer.data(), std::min(size, kRegistryTextBuffer));
}

std::optional<NumberValue> ReadNumberValue(const RegistryKey& key, const char* valueName) {
    std::array<std::uint8_t, kNumberSize> bytes{};
    std::uint32_t size = kNumberSize;
    NumberValue value;
    if (key.registry().RegQueryValueExA(key.get(), valueName, &value.type, bytes.data(), &size) !=
        kErrorSuccess) {
        return std::nullopt;
    }
    const std::uint32_t delivered = std::min(size, kNumberSize);
    for (std::uint32_t at = 0; at < delivered; ++at) {
        value.bits |= static_cast<std::uint32_t>(bytes[at]) << (8 * at);
    }
    return value;
}

long WriteNumberValue(const RegistryKey& key, const char* valueName, const NumberValue& value) {
    std::array<std::uint8_t, kNumberSize> bytes{};
    for (std::uint32_t at = 0; at < kNumberSize; ++at) {
        bytes[at] = static_cast<std::uint8_t>(value.bits >> (8 * at));
    }
    return key.registry().RegSetValueExA(key.get(), valueName, value.type, bytes.data(),
                                         kNumberSize);
}

}  // namespace instdll
