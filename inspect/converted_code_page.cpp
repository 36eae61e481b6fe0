#include "inspect/converted_code_page.h"

#include <cstring>
#include <optional>
#include <string>

#include "text/code_pages.h"
#include "text/unicode_case.h"

namespace instdll::inspect {

bool ConvertedCodePage::IsLeadByte(unsigned char byte) const {
    return IsDoubleByteLeadByte(codePage_, byte);
}

bool ConvertedCodePage::IsUtf8() const { return codePage_ == kUtf8CodePage; }

int ConvertedCodePage::CompareNoCase(const char* a, const char* b) const {
    const char* x = a == nullptr ? "" : a;
    const char* y = b == nullptr ? "" : b;
    const std::optional<std::u16string> wideX = converter_.ToUnicode(x);
    const std::optional<std::u16string> wideY = converter_.ToUnicode(y);
    if (!wideX || !wideY) return std::strcmp(x, y);
    // Unit by unit: the letters with case are all in the Basic Multilingual Plane, and a
    // surrogate compares as itself.
    for (std::size_t i = 0;; ++i) {
        const char32_t cx = i < wideX->size() ? UpperCase((*wideX)[i]) : 0;
        const char32_t cy = i < wideY->size() ? UpperCase((*wideY)[i]) : 0;
        if (cx != cy) return cx < cy ? -1 : 1;
        if (cx == 0) return 0;
    }
}

}  // namespace instdll::inspect
