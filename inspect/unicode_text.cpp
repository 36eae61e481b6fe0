#include "inspect/unicode_text.h"

#include <cstdio>

namespace instdll::inspect {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf16(std::u16string& out, char32_t code) {
    if (code < 0x10000) {
        out += static_cast<char16_t>(code);
        return;
    }
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (code >> 10));
    out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The code point at `at`, advancing past it; nothing for an invalid or overlong sequence.
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) return lead;
    std::size_t extra = 0;
    char32_t code = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, code = lead & 0x1Fu, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, code = lead & 0x0Fu, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, code = lead & 0x07u, smallest = 0x10000;
    } else {
        return std::nullopt;
    }
    for (; extra > 0; --extra) {
        if (at >= text.size()) return std::nullopt;
        const auto next = static_cast<unsigned char>(text[at++]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        code = (code << 6) | (next & 0x3Fu);
    }
    if (code < smallest || code > 0x10FFFF || IsHighSurrogate(code) || IsLowSurrogate(code)) {
        return std::nullopt;
    }
    return code;
}

// The code point at `at`, advancing past it; nothing for a lone surrogate.
std::optional<char32_t> NextUtf16(std::u16string_view text, std::size_t& at) {
    const char32_t unit = text[at++];
    if (IsLowSurrogate(unit)) return std::nullopt;
    if (!IsHighSurrogate(unit)) return unit;
    if (at >= text.size() || !IsLowSurrogate(text[at])) return std::nullopt;
    const char32_t low = text[at++];
    return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
}

// Code point by code point; nothing at the first invalid one.
template <typename Out, typename In, typename Next, typename Append>
std::optional<Out> Transcoded(In text, Next next, Append append) {
    Out out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::optional<char32_t> code = next(text, at);
        if (!code) return std::nullopt;
        append(out, *code);
    }
    return out;
}

}  // namespace

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
    return Transcoded<std::u16string>(utf8, NextUtf8, AppendUtf16);
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view utf16) {
    return Transcoded<std::string>(utf16, NextUtf16, AppendUtf8);
}

std::string ShownUtf8(std::u16string_view utf16) {
    std::string out;
    for (std::size_t at = 0; at < utf16.size();) {
        AppendUtf8(out, NextUtf16(utf16, at).value_or(kReplacement));
    }
    return out;
}

std::string PrintableUtf8(std::u16string_view utf16) {
    std::string out;
    for (std::size_t at = 0; at < utf16.size();) {
        const char32_t code = NextUtf16(utf16, at).value_or(kReplacement);
        if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, code < 0x80 ? "\\x%02X" : "\\u%04X",
                          static_cast<unsigned>(code));
            out += escape;
        } else {
            AppendUtf8(out, code);
        }
    }
    return out;
}

}  // namespace instdll::inspect
