#include "inspect/registry_import.h"

#include <algorithm>
#include <array>
#include <optional>

#include "catalog/family_prefix.h"
#include "inspect/unicode_text.h"
#include "registry/key_path.h"
#include "registry/registry_paths.h"
#include "registry/registry_view.h"

namespace instdll::inspect {
namespace {

char16_t FoldAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

bool SameAsciiName(std::u16string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char y) {
               return FoldAscii(x) ==
                      FoldAscii(static_cast<char16_t>(static_cast<unsigned char>(y)));
           });
}

std::optional<RegHandle> RootOf(std::u16string_view name) {
    for (const RootNames& names : kRootNames) {
        if (SameAsciiName(name, names.fullName) || SameAsciiName(name, names.shortName)) {
            return names.root;
        }
    }
    return std::nullopt;
}

// Where a kept key lies relative to one of the three places the library reads.
enum class Place { Dropped, KeyOnly, KeyWithValues };

struct KeptPlace {
    RegHandle root;
    const char* path;
    // What is kept of the place itself, of a child (family or not), and of a family child's
    // first subkey (only that it exists).
    Place self;
    Place familyChild;
    Place otherChild;
};

const std::array<KeptPlace, 3> kKeptPlaces = {{
    {kHkeyLocalMachine, kProductKeyPath, Place::KeyOnly, Place::KeyWithValues,
     Place::KeyWithValues},
    {kHkeyLocalMachine, kUninstallRootPath, Place::KeyOnly, Place::KeyWithValues, Place::KeyOnly},
    {kHkeyCurrentUser, kTitlesPath, Place::KeyWithValues, Place::Dropped, Place::Dropped},
}};

template <typename Name>
bool StartsWithPlace(const std::vector<std::u16string_view>& parts,
                     const std::vector<Name>& place) {
    return parts.size() >= place.size() &&
           std::equal(place.begin(), place.end(), parts.begin(),
                      [](const Name& a, std::u16string_view b) { return SameAsciiName(b, a); });
}

// A kept place where the machine stores it. An export may hold the 32-bit DLL's keys under
// WOW6432Node beside the native ones: both are kept, and the question's view chooses.
struct MachinePlace {
    const KeptPlace* kept;
    std::vector<std::string> names;
};

std::vector<MachinePlace> MakeMachinePlaces() {
    std::vector<MachinePlace> places;
    for (const KeptPlace& kept : kKeptPlaces) {
        for (const RegistryView view :
             {RegistryView::For(32, false), RegistryView::For(32, true)}) {
            const std::string path = view.MachinePath(kept.root, kept.path);
            const auto split = SplitKeyPath(std::string_view(path));
            std::vector<std::string> names(split.begin(), split.end());
            if (places.empty() || places.back().kept != &kept || places.back().names != names) {
                places.push_back({&kept, std::move(names)});
            }
        }
    }
    return places;
}

struct Placement {
    Place place = Place::Dropped;
    std::size_t depth = 0;  // how many of the path's parts name the kept key
    bool standsForSubkeys = false;
};

// Deeper keys under a kept child only tell that the child has subkeys: the first one stands for
// them all.
template <typename IsFamily>
Placement PlaceOf(RegHandle root, const std::vector<std::u16string_view>& parts,
                  IsFamily isFamily) {
    static const std::vector<MachinePlace> places = MakeMachinePlaces();
    for (const MachinePlace& machinePlace : places) {
        const KeptPlace& kept = *machinePlace.kept;
        const std::vector<std::string>& place = machinePlace.names;
        if (kept.root != root || !StartsWithPlace(parts, place)) continue;
        const std::size_t below = parts.size() - place.size();
        if (below == 0) return {kept.self, parts.size()};
        const bool family = isFamily(parts[place.size()]);
        const Place child = family ? kept.familyChild : kept.otherChild;
        if (below == 1) return {child, parts.size()};
        if (child == Place::KeyWithValues) return {Place::KeyOnly, place.size() + 2, true};
        return {};
    }
    return {};
}

bool HasSubkey(RegistryAccess& registry, RegHandle root, const std::string& path) {
    RegistryKey key = instdll::OpenKey(registry, root, path.c_str());
    std::array<char, kRegistryTextBuffer> name{};
    return key.is_open() &&
           registry.RegEnumKeyA(key.get(), 0, name.data(), name.size()) == kErrorSuccess;
}

void DeleteTree(RegistryAccess& registry, RegHandle parent, const std::string& path) {
    {
        RegistryKey key = instdll::OpenKey(registry, parent, path.c_str());
        if (!key.is_open()) return;
        std::array<char, kRegistryTextBuffer> name{};
        while (registry.RegEnumKeyA(key.get(), 0, name.data(), name.size()) == kErrorSuccess) {
            DeleteTree(registry, key.get(), name.data());
        }
    }
    registry.RegDeleteKeyA(parent, path.c_str());
}

std::u16string Utf16Units(const std::vector<std::uint8_t>& data) {
    std::u16string units(data.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    return units;
}

}  // namespace

// The library's own test, on the name as the code page holds it; a name it cannot hold is left
// out all the same.
bool RegistryImport::IsFamilyName(std::u16string_view name) const {
    const std::optional<std::string> ansi = converter_.ToAnsi(name);
    return ansi && HasFamilyPrefix(*ansi, codePage_);
}

bool RegistryImport::ToAnsiPath(const std::vector<std::u16string_view>& parts, std::string& path) {
    path.clear();
    for (std::u16string_view part : parts) {
        std::optional<std::string> ansi = converter_.ToAnsi(part);
        if (!ansi) return false;
        if (!path.empty()) path += '\\';
        path += *ansi;
    }
    return true;
}

void RegistryImport::NoteUnrepresentableKey(std::u16string_view path) {
    unrepresentable_.push_back({PrintableUtf8(path), std::string(), true, false});
}

void RegistryImport::NoteUnrepresentableValue(std::u16string_view name) {
    unrepresentable_.push_back(
        {PrintableUtf8(currentPath_), PrintableUtf8(name), false, name.empty()});
}

void RegistryImport::OpenKey(std::u16string_view path) {
    current_.reset();
    currentPath_ = path;
    std::vector<std::u16string_view> parts = SplitKeyPath(path);
    if (parts.empty()) return;
    const std::optional<RegHandle> root = RootOf(parts.front());
    if (!root) return;
    parts.erase(parts.begin());
    static const auto wow6432Node = SplitKeyPath(std::string_view(kWow6432NodePath));
    if (*root == kHkeyLocalMachine && StartsWithPlace(parts, wow6432Node)) {
        sawWow6432Node_ = true;
    }
    const Placement placement =
        PlaceOf(*root, parts, [this](std::u16string_view name) { return IsFamilyName(name); });
    if (placement.place == Place::Dropped) return;
    parts.resize(placement.depth);
    std::string ansiPath;
    if (!ToAnsiPath(parts, ansiPath)) {
        NoteUnrepresentableKey(path);
        return;
    }
    std::string ansiParent;
    if (placement.standsForSubkeys && !parts.empty() &&
        ToAnsiPath({parts.begin(), parts.end() - 1}, ansiParent) &&
        HasSubkey(registry_, *root, ansiParent)) {
        return;
    }
    RegistryKey key(registry_);
    std::uint32_t disposition = 0;
    registry_.RegCreateKeyExA(*root, ansiPath.c_str(), "", 0, kKeyAllAccess, key.put(),
                              &disposition);
    if (placement.place == Place::KeyWithValues) current_ = std::move(key);
}

void RegistryImport::DeleteKey(std::u16string_view path) {
    current_.reset();
    currentPath_.clear();
    std::vector<std::u16string_view> parts = SplitKeyPath(path);
    if (parts.size() < 2) return;
    const std::optional<RegHandle> root = RootOf(parts.front());
    if (!root) return;
    parts.erase(parts.begin());
    std::string ansiPath;
    // A name the code page cannot hold was never imported, so there is nothing to delete.
    if (ToAnsiPath(parts, ansiPath)) DeleteTree(registry_, *root, ansiPath);
}

void RegistryImport::SetValue(std::u16string_view name, std::uint32_t type,
                              const std::vector<std::uint8_t>& data, TextEncoding encoding) {
    if (!current_.is_open()) return;
    const std::optional<std::string> ansiName = converter_.ToAnsi(name);
    if (!ansiName) {
        NoteUnrepresentableValue(name);
        return;
    }
    std::vector<std::uint8_t> bytes;
    if (IsTextType(type) && encoding == TextEncoding::Utf16) {
        const std::optional<std::string> text = converter_.ToAnsi(Utf16Units(data));
        if (!text) {
            NoteUnrepresentableValue(name);
            // No stale value from an earlier file may answer in its place.
            registry_.RegDeleteValueA(current_.get(), ansiName->c_str());
            return;
        }
        bytes.assign(text->begin(), text->end());
        // An odd last byte is no UTF-16 unit; it is kept rather than lost.
        if (data.size() % 2 != 0) bytes.push_back(data.back());
    } else {
        bytes = data;
    }
    registry_.RegSetValueExA(current_.get(), ansiName->c_str(), type, bytes.data(),
                             static_cast<std::uint32_t>(bytes.size()));
}

void RegistryImport::DeleteValue(std::u16string_view name) {
    if (!current_.is_open()) return;
    if (const std::optional<std::string> ansiName = converter_.ToAnsi(name)) {
        registry_.RegDeleteValueA(current_.get(), ansiName->c_str());
    }
}

}  // namespace instdll::inspect
