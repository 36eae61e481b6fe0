#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace instdll {

// A value as a version 5.00 file holds it: the data of the text types in UTF-16LE.
struct RegFileValue {
    std::u16string name;  // empty for the default value
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;

    bool operator==(const RegFileValue&) const = default;
};

struct RegFileKey {
    std::u16string path;  // from its root, "HKEY_LOCAL_MACHINE\..."
    std::vector<RegFileValue> values;

    bool operator==(const RegFileKey&) const = default;
};

// A key path or value name that no .reg line carries so that every importer reads it back as
// it is: the file is not written at all, since a file without it would restore less than it
// claims.
struct Unwritable {
    std::u16string path;
    std::optional<std::u16string> valueName;  // set when the value's name is the trouble
    std::string reason;
};

// The keys as a version 5.00 export: UTF-16LE with its byte order mark and CR LF line ends,
// which `reg import` and `regedit /s` read in any code page.
std::variant<std::string, Unwritable> RegFileBytes(const std::vector<RegFileKey>& keys);

// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ: the types whose data is text.
bool IsTextType(std::uint32_t type);

// The UTF-16LE bytes of `text`.
void AppendUtf16Le(std::vector<std::uint8_t>& bytes, std::u16string_view text);

}  // namespace instdll
