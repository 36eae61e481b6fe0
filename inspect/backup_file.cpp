#include "inspect/backup_file.h"

#include <cstdio>

#include "inspect/registry_import.h"

namespace instdll::inspect {
namespace {

constexpr std::size_t kBytesPerLine = 25;

// What the source held was ANSI converted from Unicode, so it converts back; a byte that does
// not is written as the character of the same number rather than dropped.
std::u16string Unicode(const std::string& ansi, const CodePageConverter& converter) {
    if (std::optional<std::u16string> text = converter.ToUnicode(ansi)) return *text;
    return std::u16string(ansi.begin(), ansi.end());
}

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string Escaped(const std::u16string& text) {
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

bool IsPlainString(const ValueSnapshot& value) {
    if (value.type != kRegSz || value.data.empty() || value.data.back() != 0) return false;
    for (std::size_t i = 0; i + 1 < value.data.size(); ++i) {
        if (value.data[i] == 0) return false;
    }
    return true;
}

std::u16string ValueLine(const ValueSnapshot& value, const CodePageConverter& converter) {
    std::u16string line = value.name.empty() ? u"@" : Escaped(Unicode(value.name, converter));
    line += u'=';
    if (IsPlainString(value)) {
        const std::string text(value.data.begin(), value.data.end() - 1);
        return line + Escaped(Unicode(text, converter));
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%02x%02x%02x%02x", value.data[3], value.data[2],
                      value.data[1], value.data[0]);
        return line + u"dword:" + Ascii(digits);
    }
    std::vector<std::uint8_t> bytes = value.data;
    if (IsTextType(value.type)) {
        bytes.clear();
        for (char16_t unit :
             Unicode(std::string(value.data.begin(), value.data.end()), converter)) {
            bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
    }
    char type[16];
    std::snprintf(type, sizeof type, "hex(%x):", value.type);
    line += value.type == kRegBinary ? u"hex:" : Ascii(type);
    return line + HexList(bytes);
}

void AppendKey(std::u16string& file, const std::string& path,
               const std::vector<ValueSnapshot>& values, const CodePageConverter& converter) {
    file += u"[" + Unicode(path, converter) + u"]\r\n";
    for (const ValueSnapshot& value : values) file += ValueLine(value, converter) + u"\r\n";
    file += u"\r\n";
}

}  // namespace

std::string BackupRegFile(const PruneAnswer& answer, const CodePageConverter& converter) {
    std::u16string file = u"Windows Registry Editor Version 5.00\r\n\r\n";
    for (const KeyDeletion& deletion : answer.deletions) {
        if (deletion.result == 0) AppendKey(file, deletion.path, deletion.values, converter);
    }
    if (answer.counterWrite && answer.counterWrite->before) {
        AppendKey(file, answer.counterWrite->keyPath, {*answer.counterWrite->before}, converter);
    }
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : file) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

}  // namespace instdll::inspect
