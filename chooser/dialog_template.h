#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace instdll {

// A field of a dialog template that holds either a 16-bit ordinal (a class atom, a resource
// id) or a UTF-16 name.
struct NameOrOrdinal {
    std::uint16_t ordinal = 0;
    std::u16string name;

    bool operator==(const NameOrOrdinal& other) const {
        return ordinal == other.ordinal && name == other.name;
    }
};

struct DialogItem {
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::int16_t x = 0, y = 0, width = 0, height = 0;
    std::uint16_t id = 0;
    NameOrOrdinal windowClass;
    NameOrOrdinal text;
};

// A dialog template in the classic (not the extended) format, as the resource compiler
// stores it. Positions and sizes are in dialog units.
struct DialogTemplate {
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::int16_t x = 0, y = 0, width = 0, height = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::u16string title;
    std::uint16_t pointSize = 0;
    std::u16string fontName;
    std::vector<DialogItem> items;

    // The item with control id `id`, or null.
    const DialogItem* Item(std::uint16_t id) const;
};

// Reads a classic template; nothing when the data are truncated, malformed or extended.
std::optional<DialogTemplate> ParseDialogTemplate(const void* data, std::size_t size);

}  // namespace instdll
