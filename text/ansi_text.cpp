#include "text/ansi_text.h"

#include <algorithm>
#include <cstring>

#include "text/utf8.h"

namespace instdll {

std::string DeliveredText(const std::uint8_t* data, std::uint32_t delivered) {
    const auto* text = reinterpret_cast<const char*>(data);
    const void* zero = std::memchr(text, 0, delivered);
    return std::string(text, zero == nullptr
                                 ? delivered
                                 : static_cast<std::size_t>(static_cast<const char*>(zero) - text));
}

std::string LeftBytes(const std::string& text, int count) { return MidBytes(text, 0, count); }

std::string RightBytes(const std::string& text, int count) {
    if (count <= 0) return std::string();
    const auto size = static_cast<int>(text.size());
    return count >= size ? text : text.substr(static_cast<std::size_t>(size - count));
}

std::string MidBytes(const std::string& text, int position, int count) {
    if (position < 0) position = 0;
    if (count <= 0 || static_cast<std::size_t>(position) >= text.size()) return std::string();
    return text.substr(static_cast<std::size_t>(position), static_cast<std::size_t>(count));
}

std::size_t CharLengthAt(std::string_view text, std::size_t at, const AnsiCodePage& codePage) {
    if (at >= text.size()) return 0;
    if (codePage.IsUtf8()) return std::max<std::size_t>(Utf8SequenceAt(text, at), 1);
    const bool doubleByte =
        codePage.IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size();
    return doubleByte ? 2 : 1;
}

std::size_t CharBoundaryAtOrBefore(std::string_view text, std::size_t limit,
                                   const AnsiCodePage& codePage) {
    if (limit > text.size()) limit = text.size();
    std::size_t boundary = 0;
    while (boundary < limit) {
        const std::size_t next = boundary + CharLengthAt(text, boundary, codePage);
        if (next > limit) break;
        boundary = next;
    }
    return boundary;
}

int FindAtCharBoundary(const std::string& text, const std::string& pattern,
                       const AnsiCodePage& codePage) {
    for (std::size_t at = 0; at + pattern.size() <= text.size();) {
        if (text.compare(at, pattern.size(), pattern) == 0) return static_cast<int>(at);
        at += CharLengthAt(text, at, codePage);
    }
    return -1;
}

bool CopyToBuffer(const std::string& text, char* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return false;
    if (text.size() + 1 > capacity) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace instdll
