#pragma once

#include <cstddef>

namespace instdll {

// A zero-terminated UTF-16 text of the chooser's own resources: a title, a label, a button's
// caption, all far shorter than the capacity, which cuts anything longer. A bounded buffer
// rather than std::wstring, whose prebuilt instantiation would bring the runtime's whole
// wide-string code into the DLL for these few texts.
class WideText {
public:
    // In characters, the terminating zero included.
    static constexpr std::size_t kCapacity = 128;

    WideText() = default;
    // From 16-bit code units: the string table's wchar_t or a dialog template's char16_t.
    template <typename CodeUnit>
    WideText(const CodeUnit* units, std::size_t count)
        : length_(count < kCapacity ? count : kCapacity - 1) {
        for (std::size_t i = 0; i < length_; ++i) text_[i] = static_cast<wchar_t>(units[i]);
    }

    const wchar_t* c_str() const { return text_; }
    std::size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }

private:
    std::size_t length_ = 0;
    wchar_t text_[kCapacity]{};
};

}  // namespace instdll
