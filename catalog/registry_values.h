#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "registry/registry_key.h"

namespace instdll {

// A text value read into a 256-byte buffer: absent when the read fails (the value is missing or
// does not fit). Whatever its stored type, the text ends at the first zero byte and never runs
// past the bytes the registry delivered. `error`, if given, receives the registry's answer.
std::optional<std::string> ReadTextValue(const RegistryKey& key, const char* valueName,
                                         long* error = nullptr);

// A value read into four bytes, with its stored type. Fewer bytes fill the low-order bytes of
// `bits`, little-endian, the rest stay zero; more than four fail to read.
struct NumberValue {
    std::uint32_t bits = 0;
    std::uint32_t type = 0;
};
std::optional<NumberValue> ReadNumberValue(const RegistryKey& key, const char* valueName);

// Stores `value.bits` as four little-endian bytes of type `value.type`; the result is the
// registry's.
long WriteNumberValue(const RegistryKey& key, const char* valueName, const NumberValue& value);

}  // namespace instdll
