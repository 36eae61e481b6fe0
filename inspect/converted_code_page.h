#pragma once

#include "inspect/code_page_converter.h"
#include "text/ansi_text.h"

namespace instdll::inspect {

// The customer's ANSI code page as the library's logic asks about it: lead bytes by the code
// page's own rule, and names compared as lstrcmpiA compares them, through Unicode with letter
// case folded. Text the code page does not define equals only the same bytes.
class ConvertedCodePage final : public AnsiCodePage {
public:
    ConvertedCodePage(unsigned codePage, const CodePageConverter& converter)
        : codePage_(codePage), converter_(converter) {}

    bool IsLeadByte(unsigned char byte) const override;
    bool IsUtf8() const override;
    int CompareNoCase(const char* a, const char* b) const override;

private:
    unsigned codePage_;
    const CodePageConverter& converter_;
};

}  // namespace instdll::inspect
