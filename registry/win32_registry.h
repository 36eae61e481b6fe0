#pragma once

#include "registry/registry_access.h"

namespace instdll {

// The real registry: each call forwards to the advapi32 function of the same name.
class Win32Registry final : public RegistryAccess {
public:
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
};

// The one instance the exports use.
RegistryAccess& SystemRegistry();

}  // namespace instdll
