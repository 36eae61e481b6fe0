#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace instdll::inspect {

// UTF-8 to UTF-16 and back. Invalid input (a bad sequence, a lone surrogate) gives nothing, so
// that a caller can tell text in another encoding from text that merely looks odd.
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);
std::optional<std::string> Utf16ToUtf8(std::u16string_view utf16);

// The same, for text shown to a person: an invalid unit becomes U+FFFD.
std::string ShownUtf8(std::u16string_view utf16);

// The same, safe to print: a control character, which could move a terminal's cursor or end a
// line early, shown as \xNN (C0 and DEL) or \uNNNN (C1).
std::string PrintableUtf8(std::u16string_view utf16);

}  // namespace instdll::inspect
