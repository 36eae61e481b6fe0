#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "regfile/reg_file_writer.h"
#include "registry/registry_access.h"

namespace instdll::testing {

inline std::vector<std::uint8_t> Utf16Data(std::u16string_view text) {
    std::vector<std::uint8_t> data;
    AppendUtf16Le(data, text);
    return data;
}

// Keys under `root` whose names and data an importer could misread, yet every one a .reg file
// can carry: the escapes, a trailing backslash, blanks, brackets and semicolons, the default
// value's "@", strings that are not plain, a lone surrogate, an unusual type. Values in name
// order, as a registry listing sorts them.
inline std::vector<RegFileKey> AwkwardKeys(const std::u16string& root) {
    using namespace std::string_literals;
    return {
        {root + u"\\ Zk:[x86 \\;\\\"q\\\"\\@",
         {
             {u"", kRegSz, Utf16Data(u"C:\\Zk\\\0"s)},
             {u" lead and trail ", kRegSz, Utf16Data(u" a \0"s)},
             {u";not a comment", kRegDword, {1, 2, 3, 4}},
             {u"@", kRegSz, Utf16Data(u"\"\\\"\0"s)},
             {u"]=[\"\\", kRegBinary, std::vector<std::uint8_t>(100, 0x5C)},
             {u"empty", kRegBinary, {}},
             {u"ends\\", kRegExpandSz, Utf16Data(u"%Zk%\\\0"s)},
             {u"hex(1):\\", kRegSz, Utf16Data(u"hex:00,\\\0"s)},
             {u"lone \xD800 surrogate", 0x12345678, Utf16Data(u"\xDC00")},
             {u"short dword", kRegDword, {1, 2}},
             {u"zero inside", kRegMultiSz, Utf16Data(u"a\0b\0\0"s)},
             {u"Имя", kRegSz, Utf16Data(u"Значение\0"s)},
         }},
        {root + u"\\Пустой", {}},
    };
}

}  // namespace instdll::testing
