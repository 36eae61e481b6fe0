#pragma once

#include "registry/registry_access.h"

namespace instdll {

// Passes every call to the registry underneath unchanged: the base of layers that watch the
// library's registry work, which override only the calls they watch.
class ForwardingRegistry : public RegistryAccess {
public:
    explicit ForwardingRegistry(RegistryAccess& inner) : inner_(inner) {}

    long RegOpenKeyExA(RegHandle key, const char* subKey, std::uint32_t options,
                       std::uint32_t access, RegHandle* result) override {
        return inner_.RegOpenKeyExA(key, subKey, options, access, result);
    }
    long RegCreateKeyExA(RegHandle key, const char* subKey, const char* keyClass,
                         std::uint32_t options, std::uint32_t access, RegHandle* result,
                         std::uint32_t* disposition) override {
        return inner_.RegCreateKeyExA(key, subKey, keyClass, options, access, result, disposition);
    }
    long RegCreateKeyA(RegHandle key, const char* subKey, RegHandle* result) override {
        return inner_.RegCreateKeyA(key, subKey, result);
    }
    long RegEnumKeyA(RegHandle key, std::uint32_t index, char* name,
                     std::uint32_t nameSize) override {
        return inner_.RegEnumKeyA(key, index, name, nameSize);
    }
    long RegEnumValueA(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                       std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override {
        return inner_.RegEnumValueA(key, index, name, nameSize, type, data, dataSize);
    }
    long RegQueryValueExA(RegHandle key, const char* valueName, std::uint32_t* type,
                          std::uint8_t* data, std::uint32_t* dataSize) override {
        return inner_.RegQueryValueExA(key, valueName, type, data, dataSize);
    }
    long RegSetValueExA(RegHandle key, const char* valueName, std::uint32_t type,
                        const std::uint8_t* data, std::uint32_t dataSize) override {
        return inner_.RegSetValueExA(key, valueName, type, data, dataSize);
    }
    long RegDeleteKeyA(RegHandle key, const char* subKey) override {
        return inner_.RegDeleteKeyA(key, subKey);
    }
    long RegDeleteValueA(RegHandle key, const char* valueName) override {
        return inner_.RegDeleteValueA(key, valueName);
    }
    long RegCloseKey(RegHandle key) override { return inner_.RegCloseKey(key); }

protected:
    RegistryAccess& inner() const { return inner_; }

private:
    RegistryAccess& inner_;
};

// A forwarding layer told of each key opened or created and each key closed: for layers that
// name the keys the library works on.
class KeyWatchingRegistry : public ForwardingRegistry {
public:
    using ForwardingRegistry::ForwardingRegistry;

    long RegOpenKeyExA(RegHandle key, const char* subKey, std::uint32_t options,
                       std::uint32_t access, RegHandle* result) final {
        return Opened(inner().RegOpenKeyExA(key, subKey, options, access, result), key, subKey,
                      result);
    }
    long RegCreateKeyExA(RegHandle key, const char* subKey, const char* keyClass,
                         std::uint32_t options, std::uint32_t access, RegHandle* result,
                         std::uint32_t* disposition) final {
        return Opened(
            inner().RegCreateKeyExA(key, subKey, keyClass, options, access, result, disposition),
            key, subKey, result);
    }
    long RegCreateKeyA(RegHandle key, const char* subKey, RegHandle* result) final {
        return Opened(inner().RegCreateKeyA(key, subKey, result), key, subKey, result);
    }
    long RegCloseKey(RegHandle key) final {
        KeyClosed(key);
        return inner().RegCloseKey(key);
    }

protected:
    // `opened` may be `parent` itself, as RegCreateKeyA hands back a root for an empty path.
    virtual void KeyOpened(RegHandle parent, const char* subKey, RegHandle opened) = 0;
    virtual void KeyClosed(RegHandle key) = 0;

private:
    long Opened(long result, RegHandle key, const char* subKey, const RegHandle* opened) {
        if (result == kErrorSuccess && opened != nullptr) KeyOpened(key, subKey, *opened);
        return result;
    }
};

}  // namespace instdll
