#pragma once

#include <cstddef>
#include <cstdint>

namespace instdll {

// An open registry key as the layer hands it out. It carries the HKEY value on Windows and an
// in-memory handle number on the host; predefined roots keep their Win32 values on both.
using RegHandle = std::uintptr_t;

// Win32 defines the roots as sign-extended 32-bit values (0xFFFFFFFF80000002 on x64).
inline constexpr RegHandle kHkeyCurrentUser =
    static_cast<RegHandle>(static_cast<std::intptr_t>(INT32_C(-2147483647)));
inline constexpr RegHandle kHkeyLocalMachine =
    static_cast<RegHandle>(static_cast<std::intptr_t>(INT32_C(-2147483646)));

// What the library reads a key name or a text value into, and what a caller gives for a log
// file name: 255 bytes and the terminating zero.
inline constexpr std::uint32_t kRegistryTextBuffer = 256;
// The registry's own limits on names, in characters.
inline constexpr std::size_t kRegistryKeyNameLimit = 255;
inline constexpr std::size_t kRegistryValueNameLimit = 16383;

inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegCreatedNewKey = 1;
inline constexpr std::uint32_t kRegOpenedExistingKey = 2;

// Win32 error codes met by the callers.
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorCallNotImplemented = 120;
inline constexpr long kErrorAlreadyExists = 183;
inline constexpr long kErrorMoreData = 234;
inline constexpr long kErrorNoMoreItems = 259;
inline constexpr long kErrorKeyDeleted = 1018;

// The registry as the library uses it: the ANSI Win32 functions under their own names, with
// their arguments and error codes. Sizes are in bytes (characters for names, as Win32 counts
// them for the ANSI calls). Outputs are left unchanged on failure unless the Win32 function
// documents otherwise (ERROR_MORE_DATA reports the size needed).
//
// Implementations are used through references and never deleted through this interface; the
// destructor is protected and non-virtual so that the stateless system registry is trivially
// destructible and stays valid while the module-wide keys close at unload.
class RegistryAccess {
public:
    virtual long RegOpenKeyExA(RegHandle key, const char* subKey, std::uint32_t options,
                               std::uint32_t access, RegHandle* result) = 0;
    virtual long RegCreateKeyExA(RegHandle key, const char* subKey, const char* keyClass,
                                 std::uint32_t options, std::uint32_t access, RegHandle* result,
                                 std::uint32_t* disposition) = 0;
    virtual long RegCreateKeyA(RegHandle key, const char* subKey, RegHandle* result) = 0;
    virtual long RegEnumKeyA(RegHandle key, std::uint32_t index, char* name,
                             std::uint32_t nameSize) = 0;
    virtual long RegEnumValueA(RegHandle key, std::uint32_t index, char* name,
                               std::uint32_t* nameSize, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t* dataSize) = 0;
    virtual long RegQueryValueExA(RegHandle key, const char* valueName, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* dataSize) = 0;
    virtual long RegSetValueExA(RegHandle key, const char* valueName, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t dataSize) = 0;
    virtual long RegDeleteKeyA(RegHandle key, const char* subKey) = 0;
    virtual long RegDeleteValueA(RegHandle key, const char* valueName) = 0;
    virtual long RegCloseKey(RegHandle key) = 0;

protected:
    RegistryAccess() = default;
    RegistryAccess(const RegistryAccess&) = default;
    RegistryAccess& operator=(const RegistryAccess&) = default;
    ~RegistryAccess() = default;
};

}  // namespace instdll
