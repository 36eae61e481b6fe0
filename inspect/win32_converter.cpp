#include <windows.h>

#include "inspect/code_page_converter.h"

namespace instdll::inspect {
namespace {

class Win32Converter final : public CodePageConverter {
public:
    explicit Win32Converter(unsigned codePage) : codePage_(codePage) {}

private:
    // UTF-8 has no default character: the converter refuses the flag and the question, and
    // writes a lone surrogate as U+FFFD, so the text must read back as it was.
    std::optional<std::string> Encode(std::u16string_view text) const override {
        if (text.empty()) return std::string();
        const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
        const int length = static_cast<int>(text.size());
        const bool utf8 = codePage_ == CP_UTF8;
        const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
        BOOL usedDefault = FALSE;
        BOOL* const asked = utf8 ? nullptr : &usedDefault;
        const int size =
            WideCharToMultiByte(codePage_, flags, wide, length, nullptr, 0, nullptr, asked);
        if (size <= 0 || usedDefault) return std::nullopt;
        std::string ansi(static_cast<std::size_t>(size), '\0');
        WideCharToMultiByte(codePage_, flags, wide, length, ansi.data(), size, nullptr, asked);
        if (usedDefault) return std::nullopt;
        if (utf8 && Decode(ansi) != std::u16string(text)) return std::nullopt;
        return ansi;
    }

    std::optional<std::u16string> Decode(std::string_view ansi) const override {
        if (ansi.empty()) return std::u16string();
        const int length = static_cast<int>(ansi.size());
        const int size =
            MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS, ansi.data(), length, nullptr, 0);
        if (size <= 0) return std::nullopt;
        std::u16string text(static_cast<std::size_t>(size), u'\0');
        MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS, ansi.data(), length,
                            reinterpret_cast<wchar_t*>(text.data()), size);
        return text;
    }

    unsigned codePage_;
};

}  // namespace

std::unique_ptr<CodePageConverter> MakeCodePageConverter(unsigned codePage) {
    if (!IsSupportedCodePage(codePage)) return nullptr;
    if (IsValidCodePage(codePage) == FALSE) return nullptr;
    return std::make_unique<Win32Converter>(codePage);
}

}  // namespace instdll::inspect
