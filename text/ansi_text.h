#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace instdll {

// What the logic needs to know of the system's ANSI code page.
// Used through references and never deleted through this interface (see RegistryAccess).
class AnsiCodePage {
public:
    // True for the first byte of a double-byte character.
    virtual bool IsLeadByte(unsigned char byte) const = 0;
    // UTF-8 as the ANSI code page: a character takes up to four bytes, none of them a lead byte
    // in the sense above.
    virtual bool IsUtf8() const = 0;
    // Case-insensitive comparison by the code page's letters: 0 when equal.
    virtual int CompareNoCase(const char* a, const char* b) const = 0;

    bool EqualNoCase(const std::string& a, const std::string& b) const {
        return CompareNoCase(a.c_str(), b.c_str()) == 0;
    }

protected:
    AnsiCodePage() = default;
    AnsiCodePage(const AnsiCodePage&) = default;
    AnsiCodePage& operator=(const AnsiCodePage&) = default;
    ~AnsiCodePage() = default;
};

// Byte-counted substrings: a negative position counts as 0, a negative count gives "", a count
// running past the end stops there, and a position past the end gives "".
std::string LeftBytes(const std::string& text, int count);
std::string RightBytes(const std::string& text, int count);
std::string MidBytes(const std::string& text, int position, int count);

// Bytes taken by the character that starts at `at`: a lead byte goes with the byte after it,
// unless it is the last byte of the text; under UTF-8 a sequence goes whole, and a byte that
// starts none counts as a character of its own.
std::size_t CharLengthAt(std::string_view text, std::size_t at, const AnsiCodePage& codePage);

// The last character boundary at or before byte offset `limit` (the text's end at most). Only a
// walk from the start tells a trail byte from a single-byte character of the same value.
std::size_t CharBoundaryAtOrBefore(std::string_view text, std::size_t limit,
                                   const AnsiCodePage& codePage);

// Byte offset of the first exact occurrence of `pattern` that starts on a character boundary,
// or -1.
int FindAtCharBoundary(const std::string& text, const std::string& pattern,
                       const AnsiCodePage& codePage);

// Byte-wise copy of `text` with its terminating zero into a caller's buffer of `capacity`
// bytes; false, and an empty string in the buffer, when it does not fit.
bool CopyToBuffer(const std::string& text, char* buffer, std::size_t capacity);

// A value's text as the registry delivered it: its bytes up to the first zero byte, or all of
// them when they hold none. Never reads past `delivered` bytes.
std::string DeliveredText(const std::uint8_t* data, std::uint32_t delivered);

// A null argument from a caller counts as empty text.
inline std::string ArgumentText(const char* text) { return text == nullptr ? std::string() : text; }

}  // namespace instdll
