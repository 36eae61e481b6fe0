#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "text/code_pages.h"

namespace instdll::inspect {

// Conversion between UTF-16 and one ANSI code page, strict both ways: text the code page
// cannot hold gives nothing, never a substitute or a best-fit look-alike, since the library
// would then be asked about a name that is not the one on the customer's machine.
class CodePageConverter {
public:
    virtual ~CodePageConverter() = default;

    // ASCII is the same in every supported code page, and it is nearly all a registry holds.
    std::optional<std::string> ToAnsi(std::u16string_view text) const {
        if (IsAscii(text)) return std::string(text.begin(), text.end());
        return Encode(text);
    }
    std::optional<std::u16string> ToUnicode(std::string_view ansi) const {
        if (IsAscii(ansi)) return std::u16string(ansi.begin(), ansi.end());
        return Decode(ansi);
    }

private:
    template <typename Text>
    static bool IsAscii(const Text& text) {
        for (auto c : text) {
            if (static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<decltype(c)>>(c)) >=
                0x80) {
                return false;
            }
        }
        return true;
    }

    virtual std::optional<std::string> Encode(std::u16string_view text) const = 0;
    virtual std::optional<std::u16string> Decode(std::string_view ansi) const = 0;
};

// Customers run every code page Windows uses as a system's ANSI code page.
inline bool IsSupportedCodePage(unsigned codePage) { return IsAnsiCodePage(codePage); }

// "874, 932, ..., 65001", for messages that say what is supported.
inline std::string SupportedCodePageList() {
    std::string list;
    for (const unsigned codePage : kAnsiCodePages) {
        list += (list.empty() ? "" : ", ") + std::to_string(codePage);
    }
    return list;
}

// Nothing for a code page that is not supported or not installed.
std::unique_ptr<CodePageConverter> MakeCodePageConverter(unsigned codePage);

}  // namespace instdll::inspect
