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

// Bytes of the well-formed UTF-8 character at `at` (no overlong form, surrogate or value past
// U+10FFFF), or 0 where none starts there.
inline std::size_t WellFormedUtf8At(std::string_view text, std::size_t at) {
    if (at >= text.size()) return 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    if (lead < 0xC2 || lead > 0xF4) return 0;
    const std::size_t length = Utf8SequenceLength(lead);
    if (at + length > text.size()) return 0;
    // The second byte's range is narrower after the leads that could start an overlong form, a
    // surrogate or a value past U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsUtf8ContinuationByte(byte(i))) return 0;
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
