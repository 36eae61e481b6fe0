#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "registry/forwarding_registry.h"

namespace instdll {

// Where 64-bit Windows keeps what a 32-bit program names HKEY_LOCAL_MACHINE\SOFTWARE.
inline constexpr char kWow6432NodeName[] = "WOW6432Node";
inline constexpr char kWow6432NodePath[] = "SOFTWARE\\WOW6432Node";

// The registry as one build of the DLL sees it on one machine: the one place that maps the path
// the DLL names to the path the machine stores, and back. A 32-bit DLL on 64-bit Windows finds
// HKEY_LOCAL_MACHINE\SOFTWARE\X under SOFTWARE\WOW6432Node\X; HKEY_CURRENT_USER\Software and
// the rest of the machine are shared by both views. Windows also shares a few subkeys of
// HKEY_LOCAL_MACHINE\SOFTWARE (parts of Classes, some of the system's own keys); the library
// reads none of them, so here the whole of SOFTWARE is redirected.
class RegistryView {
public:
    // The DLL built for `dllBits` on 64-bit Windows or on 32-bit Windows.
    static constexpr RegistryView For(unsigned dllBits, bool sixtyFourBitWindows) {
        return RegistryView(dllBits, dllBits == 32 && sixtyFourBitWindows);
    }

    unsigned dllBits() const { return dllBits_; }
    bool redirected() const { return redirected_; }

    // Paths below `root`, without the root's name. A path already under WOW6432Node stays
    // where it is, as Windows opens it for a 32-bit program.
    std::string MachinePath(RegHandle root, std::string_view dllPath) const;
    // None for a key the DLL cannot see in this view: one of HKEY_LOCAL_MACHINE\SOFTWARE's own
    // when it is redirected.
    std::optional<std::string> DllPath(RegHandle root, std::string_view machinePath) const;

private:
    constexpr RegistryView(unsigned dllBits, bool redirected)
        : dllBits_(dllBits), redirected_(redirected) {}

    unsigned dllBits_;
    bool redirected_;
};

// A registry holding keys where the machine stores them, as the DLL in `view` reaches it: keys
// opened, created or deleted from a predefined root are found through the view.
class ViewedRegistry final : public ForwardingRegistry {
public:
    ViewedRegistry(RegistryAccess& machine, RegistryView view)
        : ForwardingRegistry(machine), view_(view) {}

    long RegOpenKeyExA(RegHandle key, const char* subKey, std::uint32_t options,
                       std::uint32_t access, RegHandle* result) override;
    long RegCreateKeyExA(RegHandle key, const char* subKey, const char* keyClass,
                         std::uint32_t options, std::uint32_t access, RegHandle* result,
                         std::uint32_t* disposition) override;
    long RegCreateKeyA(RegHandle key, const char* subKey, RegHandle* result) override;
    long RegDeleteKeyA(RegHandle key, const char* subKey) override;

private:
    // The subkey to pass on; `storage` holds it when the view moved it.
    const char* Seen(RegHandle key, const char* subKey, std::string& storage) const;

    RegistryView view_;
};

}  // namespace instdll
