#pragma once

#include "registry/registry_access.h"

namespace instdll {

// Sole owner of one open key: closes it through the layer that opened it. Move-only, so a
// handle never has two owners and never escapes without release().
class RegistryKey {
public:
    RegistryKey() = default;
    explicit RegistryKey(RegistryAccess& registry) : registry_(&registry) {}
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept
        : registry_(other.registry_), handle_(other.release()) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) {
            reset();
            registry_ = other.registry_;
            handle_ = other.release();
        }
        return *this;
    }
    ~RegistryKey() { reset(); }

    bool is_open() const { return handle_ != 0; }
    RegHandle get() const { return handle_; }
    RegistryAccess& registry() const { return *registry_; }

    // For the out-parameter of an open or create call: closes what is held first.
    RegHandle* put() {
        reset();
        return &handle_;
    }

    RegHandle release() {
        RegHandle handle = handle_;
        handle_ = 0;
        return handle;
    }

    void reset() {
        if (handle_ != 0 && registry_ != nullptr) {
            registry_->RegCloseKey(handle_);
        }
        handle_ = 0;
    }

private:
    RegistryAccess* registry_ = nullptr;
    RegHandle handle_ = 0;
};

// Opens root\path with full access; the result is closed (not open) when the open failed.
inline RegistryKey OpenKey(RegistryAccess& registry, RegHandle root, const char* path) {
    RegistryKey key(registry);
    RegHandle handle = 0;
    if (registry.RegOpenKeyExA(root, path, 0, kKeyAllAccess, &handle) == kErrorSuccess) {
        *key.put() = handle;
    }
    return key;
}

}  // namespace instdll
