#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace instdll {

// A value as a version 5.00 file holds it: the data of the text types in UTF-16LE.
struct RegFileValue {
    std::u16string name;  // empty for the default value
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

struct RegFileKey {
    std::u16string path;  // from its root, "HKEY_LOCAL_MACHINE\..."
    std::vector<RegFileValue> values;
};

// The keys as a version 5.00 export: UTF-16LE with its byte order mark and CR LF line ends,
// which `reg import` and `regedit /s` read in any code page.
std::string RegFileBytes(const std::vector<RegFileKey>& keys);

// The UTF-16LE bytes of `text`.
void AppendUtf16Le(std::vector<std::uint8_t>& bytes, std::u16string_view text);

}  // namespace instdll
