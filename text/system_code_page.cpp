#include "text/system_code_page.h"

#include <windows.h>

namespace instdll {
namespace {

class Win32CodePage final : public AnsiCodePage {
public:
    bool IsLeadByte(unsigned char byte) const override { return IsDBCSLeadByte(byte) != FALSE; }
    // Asked each time: the code page is the process's, and a test may start under another.
    bool IsUtf8() const override { return GetACP() == CP_UTF8; }
    int CompareNoCase(const char* a, const char* b) const override {
        return lstrcmpiA(a == nullptr ? "" : a, b == nullptr ? "" : b);
    }
};

// Not a function-local static, whose guard leaks two handles per load (see SystemRegistry).
const Win32CodePage systemCodePage{};

}  // namespace

const AnsiCodePage& SystemCodePage() { return systemCodePage; }

}  // namespace instdll
