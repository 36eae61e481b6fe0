#include "utilities/titles.h"

#include <algorithm>
#include <array>
#include <optional>

#include "registry/registry_key.h"
#include "registry/registry_paths.h"
#include "text/ansi_text.h"

namespace instdll {
namespace {

constexpr std::size_t kLongestTitle = kRegistryTextBuffer - 1;
constexpr std::uint32_t kEnumBufferSize = kRegistryTextBuffer;
// The registry's longest value name, 16,383 characters, and its terminating zero.
constexpr std::uint32_t kLongestNameBuffer = 16384;

std::optional<std::string> Candidate(const std::string& title, int counter) {
    std::string candidate = counter == 0 ? title : title + " #" + std::to_string(counter);
    if (candidate.size() > kLongestTitle) return std::nullopt;
    return candidate;
}

// Whether the value at `index` holds `candidate` as its data, or why there is no such value.
enum class EntryMatch { Holds, Differs, End };

// After a 234 the buffers hold nothing defined. A second look with room for any name and no
// data tells a value too long to compare (it counts as different) from an error that would
// answer the same at every index (it ends the walk).
EntryMatch OverlongEntry(const RegistryKey& key, std::uint32_t index) {
    std::string name(kLongestNameBuffer, '\0');
    std::uint32_t nameSize = kLongestNameBuffer;
    const long result = key.registry().RegEnumValueA(key.get(), index, name.data(), &nameSize,
                                                     nullptr, nullptr, nullptr);
    return result == kErrorSuccess ? EntryMatch::Differs : EntryMatch::End;
}

EntryMatch ReadEntry(const RegistryKey& key, std::uint32_t index, const std::string& candidate) {
    std::array<char, kEnumBufferSize> name{};
    std::array<std::uint8_t, kEnumBufferSize> data{};
    std::uint32_t nameSize = kEnumBufferSize;
    std::uint32_t dataSize = kEnumBufferSize;
    std::uint32_t type = 0;
    const long result = key.registry().RegEnumValueA(key.get(), index, name.data(), &nameSize,
                                                     &type, data.data(), &dataSize);
    if (result == kErrorMoreData) return OverlongEntry(key, index);
    // 259 ends the list; any other error would answer the same at every later index.
    if (result != kErrorSuccess) return EntryMatch::End;
    const std::uint32_t delivered = std::min(dataSize, kEnumBufferSize);
    return DeliveredText(data.data(), delivered) == candidate ? EntryMatch::Holds
                                                              : EntryMatch::Differs;
}

// The first form of `title` that no value holds. Every match restarts the walk at the first
// value, since a numbered form may be held by a value already passed.
std::optional<std::string> FirstFreeForm(const RegistryKey& key, const std::string& title) {
    int counter = 0;
    std::optional<std::string> candidate = Candidate(title, counter);
    std::uint32_t index = 0;
    while (candidate) {
        switch (ReadEntry(key, index, *candidate)) {
            case EntryMatch::End:
                return candidate;
            case EntryMatch::Differs:
                ++index;
                break;
            case EntryMatch::Holds:
                candidate = Candidate(title, ++counter);
                index = 0;
                break;
        }
    }
    return std::nullopt;
}

}  // namespace

long AddToTitles(RegistryAccess& registry, SharedStateLock& sharedState, const char* valueName,
                 const char* title) {
    RegistryKey key(registry);
    std::uint32_t disposition = 0;
    const long opened = registry.RegCreateKeyExA(kHkeyCurrentUser, kTitlesPath, "", 0,
                                                 kKeyAllAccess, key.put(), &disposition);
    if (opened != kErrorSuccess) return opened;

    const std::string name = ArgumentText(valueName);
    const SharedStateGuard guard(sharedState);
    if (registry.RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, nullptr) ==
        kErrorSuccess) {
        return kErrorSuccess;
    }
    const std::optional<std::string> stored = FirstFreeForm(key, ArgumentText(title));
    if (!stored) return kErrorInvalidParameter;
    return registry.RegSetValueExA(key.get(), name.c_str(), kRegSz,
                                   reinterpret_cast<const std::uint8_t*>(stored->c_str()),
                                   static_cast<std::uint32_t>(stored->size() + 1));
}

}  // namespace instdll
