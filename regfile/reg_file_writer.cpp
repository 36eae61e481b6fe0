#include "regfile/reg_file_writer.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "registry/registry_access.h"

namespace instdll {
namespace {

constexpr std::size_t kBytesPerLine = 25;

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

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
    for (char16_t c : text) {
        if (c < 0x20 || c == 0x7F) return std::nullopt;
    }
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

void AppendUtf16Le(std::vector<std::uint8_t>& bytes, std::u16string_view text) {
    for (char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
}

std::string RegFileBytes(const std::vector<RegFileKey>& keys) {
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
