#include <windows.h>

#include "inspect/code_page_converter.h"

namespace instdll::inspect {
namespace {

class Win32Converter final : public CodePageConverter {
public:
    explicit Win32Converter(unsigned codePage) : codePage_(codePage) {}

private:
    std::optional<std::string> Encode(std::u16string_view text) const override {
        if (text.empty()) return std::string();
        const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
        const int length = static_cast<int>(text.size());
        BOOL usedDefault = FALSE;
        const int size = WideCharToMultiByte(codePage_, WC_NO_BEST_FIT_CHARS, wide, length, nullptr,
                                             0, nullptr, &usedDefault);
        if (size <= 0 || usedDefault) return std::nullopt;
        std::string ansi(static_cast<std::size_t>(size), '\0');
        WideCharToMultiByte(codePage_, WC_NO_BEST_FIT_CHARS, wide, length, ansi.data(), size,
                            nullptr, &usedDefault);
        if (usedDefault) return std::nullopt;
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
