#include "regfile/reg_file_writer.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

#include "registry/registry_access.h"

namespace instdll {
namespace {

constexpr std::size_t kBytesPerLine = 25;

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

bool IsControl(char16_t c) { return c < 0x20 || c == 0x7F; }

std::string ControlName(char16_t c) {
    char name[32];
    std::snprintf(name, sizeof name, "a control character (U+%04X)", static_cast<unsigned>(c));
    return name;
}

// Importers read a key line up to a "]" and open what lies between as a path of key names:
// a control character ends or breaks the line, "]" may end it early, a leading "-" deletes
// the key, and an empty name or a blank at either end is not read back as it was written.
std::optional<std::string> PathTrouble(std::u16string_view path) {
    for (char16_t c : path) {
        if (IsControl(c)) return ControlName(c);
        if (c == u']') return "a \"]\", which an importer may take for the end of the key line";
    }
    if (path.empty() || path.front() == u' ' || path.front() == u'-') {
        return "a space or \"-\" at the start, which an importer reads as no key or a deletion";
    }
    if (path.back() == u' ') return "a space at the end, which an importer may drop";
    if (path.find(u"\\\\") != std::u16string_view::npos || path.back() == u'\\') {
        return "an empty key name (a backslash doubled or at the end)";
    }
    return std::nullopt;
}

// A quoted name keeps anything but what ends its line.
std::optional<std::string> NameTrouble(std::u16string_view name) {
    for (char16_t c : name) {
        if (IsControl(c)) return ControlName(c);
    }
    return std::nullopt;
}

// Wine's regedit ends text data with a zero character where it has none, and reads before
// data that has no character at all: such data would not come back as it was.
std::optional<std::string> DataTrouble(const RegFileValue& value) {
    const std::vector<std::uint8_t>& data = value.data;
    const bool ends = data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0 &&
                      data[data.size() - 2] == 0;
    if (IsTextType(value.type) && !ends) {
        return "text data that does not end in a zero character, which an importer changes";
    }
    return std::nullopt;
}

std::optional<Unwritable> FirstUnwritable(const std::vector<RegFileKey>& keys) {
    for (const RegFileKey& key : keys) {
        if (std::optional<std::string> reason = PathTrouble(key.path)) {
            return Unwritable{key.path, std::nullopt, "its path holds " + *reason};
        }
        for (const RegFileValue& value : key.values) {
            if (std::optional<std::string> reason = NameTrouble(value.name)) {
                return Unwritable{key.path, value.name, "its name holds " + *reason};
            }
            if (std::optional<std::string> reason = DataTrouble(value)) {
                return Unwritable{key.path, value.name, "it holds " + *reason};
            }
        }
    }
    return std::nullopt;
}

std::u16string Escaped(std::u16string_view text) {
    std::u16string escaped = u"\"";
    for (char16_t c : text) {
        if (c == u'\\' || c == u'"') escaped += u'\\';
        escaped += c;
    }
    return escaped + u"\"";
}

std::u16string HexList(const std::vector<std::uint8_t>& data) {
    std::u16string list;
    for (std::size_t i = 0; i < data.size(); ++i) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", data[i]);
        list += Ascii(digits);
        if (i + 1 == data.size()) break;
        list += u',';
        if ((i + 1) % kBytesPerLine == 0) list += u"\\\r\n  ";
    }
    return list;
}

// A string that ends in its one zero and holds no control character, which would break the
// line it is written on: anything else goes as hex(1).
std::optional<std::u16string> PlainString(const RegFileValue& value) {
    const std::vector<std::uint8_t>& data = value.data;
    if (value.type != kRegSz || data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
    std::u16string text;
    for (std::size_t i = 0; i < data.size(); i += 2) {
        text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    }
    if (text.back() != u'\0') return std::nullopt;
    text.pop_back();
    if (std::any_of(text.begin(), text.end(), IsControl)) return std::nullopt;
    return text;
}

std::u16string ValueLine(const RegFileValue& value) {
    std::u16string line = value.name.empty() ? u"@" : Escaped(value.name);
    line += u'=';
    if (const std::optional<std::u16string> text = PlainString(value)) return line + Escaped(*text);
    if (value.type == kRegDword && value.data.size() == 4) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%02x%02x%02x%02x", value.data[3], value.data[2],
                      value.data[1], value.data[0]);
        return line + u"dword:" + Ascii(digits);
    }
    char type[16];
    std::snprintf(type, sizeof type, "hex(%x):", value.type);
    line += value.type == kRegBinary ? u"hex:" : Ascii(type);
    return line + HexList(value.data);
}

}  // namespace

bool IsTextType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

void AppendUtf16Le(std::vector<std::uint8_t>& bytes, std::u16string_view text) {
    for (char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
}

std::variant<std::string, Unwritable> RegFileBytes(const std::vector<RegFileKey>& keys) {
    if (std::optional<Unwritable> unwritable = FirstUnwritable(keys)) return *unwritable;
    std::u16string file = u"Windows Registry Editor Version 5.00\r\n\r\n";
    for (const RegFileKey& key : keys) {
        file += u"[" + key.path + u"]\r\n";
        for (const RegFileValue& value : key.values) file += ValueLine(value) + u"\r\n";
        file += u"\r\n";
    }
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : file) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

}  // namespace instdll
