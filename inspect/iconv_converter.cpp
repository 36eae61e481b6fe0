#include <errno.h>
#include <iconv.h>

#include <cstring>
#include <vector>

#include "inspect/code_page_converter.h"

namespace instdll::inspect {
namespace {

const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);

// Sole owner of one iconv descriptor.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    ~IconvHandle() {
        if (handle_ != kNoConversion) iconv_close(handle_);
    }
    bool valid() const { return handle_ != kNoConversion; }

    // Converts all of `input`; nothing when any part of it has no counterpart.
    std::optional<std::vector<char>> Convert(const char* input, std::size_t size) const {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        std::vector<char> output(size * 2 + 16);
        char* in = const_cast<char*>(input);
        std::size_t inLeft = size;
        std::size_t done = 0;
        while (inLeft > 0) {
            char* out = output.data() + done;
            std::size_t outLeft = output.size() - done;
            const std::size_t result = iconv(handle_, &in, &inLeft, &out, &outLeft);
            done = output.size() - outLeft;
            if (result != static_cast<std::size_t>(-1)) break;
            if (errno != E2BIG) return std::nullopt;
            output.resize(output.size() * 2);
        }
        output.resize(done);
        return output;
    }

private:
    iconv_t handle_;
};

class IconvConverter final : public CodePageConverter {
public:
    explicit IconvConverter(const std::string& name)
        : toAnsi_(name.c_str(), "UTF-16LE"), toUnicode_("UTF-16LE", name.c_str()) {}
    bool valid() const { return toAnsi_.valid() && toUnicode_.valid(); }

private:
    std::optional<std::string> Encode(std::u16string_view text) const override {
        std::vector<char> units(text.size() * 2);
        for (std::size_t i = 0; i < text.size(); ++i) {
            units[2 * i] = static_cast<char>(text[i] & 0xFF);
            units[2 * i + 1] = static_cast<char>(text[i] >> 8);
        }
        auto bytes = toAnsi_.Convert(units.data(), units.size());
        if (!bytes) return std::nullopt;
        std::string ansi(bytes->begin(), bytes->end());
        if (!RoundTrips(text, ansi)) return std::nullopt;
        return ansi;
    }

    std::optional<std::u16string> Decode(std::string_view ansi) const override {
        auto bytes = toUnicode_.Convert(ansi.data(), ansi.size());
        if (!bytes) return std::nullopt;
        std::u16string text(bytes->size() / 2, u'\0');
        for (std::size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char16_t>(static_cast<unsigned char>((*bytes)[2 * i]) |
                                            static_cast<unsigned char>((*bytes)[2 * i + 1]) << 8);
        }
        return text;
    }

    // Some glibc tables map several Unicode characters to one byte (CP932's two forms of the
    // wave dash, say); the customer's system would not read the same name back.
    bool RoundTrips(std::u16string_view text, const std::string& ansi) const {
        const std::optional<std::u16string> back = ToUnicode(ansi);
        return back && *back == text;
    }

    IconvHandle toAnsi_;
    IconvHandle toUnicode_;
};

}  // namespace

std::unique_ptr<CodePageConverter> MakeCodePageConverter(unsigned codePage) {
    if (!IsSupportedCodePage(codePage)) return nullptr;
    auto converter = std::make_unique<IconvConverter>(
        codePage == kUtf8CodePage ? "UTF-8" : "CP" + std::to_string(codePage));
    if (!converter->valid()) return nullptr;
    return converter;
}

}  // namespace instdll::inspect
