#include "registry/registry_view.h"

#include <algorithm>
#include <vector>

#include "registry/key_path.h"

namespace instdll {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    const auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&fold](char x, char y) { return fold(x) == fold(y); });
}

std::string Joined(const std::vector<std::string_view>& parts) {
    std::string path;
    for (std::string_view part : parts) {
        if (!path.empty()) path += '\\';
        path += part;
    }
    return path;
}

enum class Area { Shared, Software, Wow6432Node };

Area AreaOf(RegHandle root, const std::vector<std::string_view>& parts) {
    const auto software = SplitKeyPath(std::string_view(kWow6432NodePath));
    if (root != kHkeyLocalMachine || parts.empty() || !SameName(parts[0], software[0])) {
        return Area::Shared;
    }
    return parts.size() > 1 && SameName(parts[1], software[1]) ? Area::Wow6432Node : Area::Software;
}

}  // namespace

std::string RegistryView::MachinePath(RegHandle root, std::string_view dllPath) const {
    std::vector<std::string_view> parts = SplitKeyPath(dllPath);
    if (redirected_ && AreaOf(root, parts) == Area::Software) {
        parts.insert(parts.begin() + 1, kWow6432NodeName);
    }
    return Joined(parts);
}

std::optional<std::string> RegistryView::DllPath(RegHandle root,
                                                 std::string_view machinePath) const {
    std::vector<std::string_view> parts = SplitKeyPath(machinePath);
    if (redirected_) {
        switch (AreaOf(root, parts)) {
            case Area::Shared:
                break;
            case Area::Software:
                return std::nullopt;
            case Area::Wow6432Node:
                parts.erase(parts.begin() + 1);
                break;
        }
    }
    return Joined(parts);
}

const char* ViewedRegistry::Seen(RegHandle key, const char* subKey, std::string& storage) const {
    if (subKey == nullptr || !view_.redirected() || key != kHkeyLocalMachine) return subKey;
    storage = view_.MachinePath(key, subKey);
    return storage.c_str();
}

long ViewedRegistry::RegOpenKeyExA(RegHandle key, const char* subKey, std::uint32_t options,
                                   std::uint32_t access, RegHandle* result) {
    std::string storage;
    return inner().RegOpenKeyExA(key, Seen(key, subKey, storage), options, access, result);
}

long ViewedRegistry::RegCreateKeyExA(RegHandle key, const char* subKey, const char* keyClass,
                                     std::uint32_t options, std::uint32_t access, RegHandle* result,
                                     std::uint32_t* disposition) {
    std::string storage;
    return inner().RegCreateKeyExA(key, Seen(key, subKey, storage), keyClass, options, access,
                                   result, disposition);
}

long ViewedRegistry::RegCreateKeyA(RegHandle key, const char* subKey, RegHandle* result) {
    std::string storage;
    return inner().RegCreateKeyA(key, Seen(key, subKey, storage), result);
}

long ViewedRegistry::RegDeleteKeyA(RegHandle key, const char* subKey) {
    std::string storage;
    return inner().RegDeleteKeyA(key, Seen(key, subKey, storage));
}

}  // namespace instdll
