#pragma once

#include <cstddef>
#include <string_view>

namespace instdll {

// Bytes announced by the first byte of a UTF-8 sequence; 1 for ASCII and for a byte that starts
// none, which the callers then treat as a character of its own.
inline std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

inline bool IsUtf8ContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Bytes of the sequence that starts at `at`, as its lead byte announces it and continuation bytes
// follow; 0 where none does. Lighter than the test below, for the DLL's cuts: whether a sequence
// is well-formed changes only what the system decodes it to, not where a cut may fall.
inline std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = Utf8SequenceLength(lead);
    if (lead < 0xC2 || lead > 0xF4 || text.size() - at < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if (!IsUtf8ContinuationByte(static_cast<unsigned char>(text[at + i]))) return 0;
    }
    return length;
}

// Bytes of the well-formed UTF-8 character at `at` (no overlong form, surrogate or value past
// U+10FFFF), or 0 where none starts there.
inline std::size_t WellFormedUtf8At(std::string_view text, std::size_t at) {
    if (at >= text.size()) return 0;
    const char* bytes = text.data() + at;
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) return 1;
    const std::size_t length = Utf8SequenceLength(lead);
    if (lead < 0xC2 || lead > 0xF4 || text.size() - at < length) return 0;
    // After these leads the second byte's range is narrower: it would otherwise start an
    // overlong form (E0, F0), a surrogate (ED) or a value past U+10FFFF (F4).
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF)) return 0;
    }
    return length;
}

// The code point of the well-formed character of `length` bytes at `at`.
inline char32_t Utf8CodePoint(std::string_view text, std::size_t at, std::size_t length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (length == 1) return lead;
    char32_t value = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        value = value << 6 | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    return value;
}

inline bool IsWellFormedUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = WellFormedUtf8At(text, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

}  // namespace instdll
