#include "inspect/shown_text.h"

#include <cstdio>

#include "inspect/unicode_text.h"
#include "registry/registry_access.h"

namespace instdll::inspect {

std::string ShownText::operator()(const std::string& ansi) const {
    if (const std::optional<std::u16string> text = converter_.ToUnicode(ansi)) {
        return PrintableUtf8(*text);
    }
    std::string shown;
    for (char c : ansi) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            shown += PrintableUtf8(std::u16string(1, static_cast<char16_t>(byte)));
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            shown += escape;
        }
    }
    return shown;
}

std::string ShownText::Data(const std::vector<std::uint8_t>& data) const {
    std::string ansi(data.begin(), data.end());
    while (!ansi.empty() && ansi.back() == '\0') ansi.pop_back();
    std::string shown;
    for (std::size_t start = 0;;) {
        const std::size_t zero = ansi.find('\0', start);
        shown += (*this)(ansi.substr(start, zero - start));
        if (zero == std::string::npos) return shown;
        shown += "\\0";
        start = zero + 1;
    }
}

std::string HexBytes(const std::vector<std::uint8_t>& data) {
    std::string hex;
    for (std::uint8_t byte : data) {
        char digits[4];
        std::snprintf(digits, sizeof digits, hex.empty() ? "%02x" : ",%02x", byte);
        hex += digits;
    }
    return hex;
}

std::int32_t Number(const std::vector<std::uint8_t>& data) {
    std::uint32_t bits = 0;
    for (std::size_t at = 0; at < data.size() && at < 4; ++at) {
        bits |= static_cast<std::uint32_t>(data[at]) << (8 * at);
    }
    return static_cast<std::int32_t>(bits);
}

const char* TitleOutcome(const TitleAnswer& answer) {
    if (answer.stored) return "stored";
    if (answer.result == kErrorSuccess) return "nothing stored: a value of that name exists";
    if (answer.result == kErrorInvalidParameter) {
        return "nothing stored: the title, or the numbered form it needs, does not fit 255 bytes";
    }
    return "nothing stored: the title list cannot be opened";
}

}  // namespace instdll::inspect
