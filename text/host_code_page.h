#pragma once

#include <array>

#include "text/ansi_text.h"

namespace instdll {

// The host's stand-in for the system's ANSI code page: 1252 (Western), 1251 (Cyrillic), 932
// (Japanese, double-byte) or 65001 (UTF-8). Letters compare by their upper-case forms in that
// code page; only equality is meaningful, which is all the callers ask.
class HostCodePage final : public AnsiCodePage {
public:
    explicit HostCodePage(unsigned codePage);

    bool IsLeadByte(unsigned char byte) const override;
    bool IsUtf8() const override;
    int CompareNoCase(const char* a, const char* b) const override;

private:
    int CompareUtf8NoCase(const char* a, const char* b) const;

    unsigned codePage_;
    std::array<unsigned char, 256> upper_{};
};

}  // namespace instdll
