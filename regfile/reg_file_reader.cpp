#include "regfile/reg_file_reader.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "inspect/unicode_text.h"
#include "regfile/reg_file_writer.h"
#include "registry/registry_access.h"

namespace instdll {
namespace {

constexpr char16_t kVersion5Header[] = u"Windows Registry Editor Version 5.00";
constexpr char16_t kVersion4Header[] = u"REGEDIT4";
constexpr char kHeaderExpected[] = "\"Windows Registry Editor Version 5.00\" or \"REGEDIT4\"";
constexpr std::size_t kChunkSize = std::size_t{1} << 16;

enum class FileEncoding { Utf16, Utf8, Bytes };

struct LineFailure {
    std::string expected;
};

// The file's physical lines, decoded to UTF-16, without their line ends.
class PhysicalLines {
public:
    PhysicalLines(std::istream& in, const inspect::CodePageConverter& converter)
        : in_(in), converter_(converter), buffer_(kChunkSize) {
        DetectEncoding();
    }

    // After the REGEDIT4 header, 8-bit text is in the ANSI code page, never UTF-8.
    void TakeAnsiOnly() { ansiOnly_ = true; }
    std::size_t number() const { return number_; }

    // False at the end of the file; a line that cannot be read fills `failure`.
    bool Next(std::u16string& line, std::optional<LineFailure>& failure) {
        line.clear();
        if (!Available(1)) return false;
        ++number_;
        const bool complete = encoding_ == FileEncoding::Utf16 ? NextUtf16(line) : NextBytes(line);
        if (!complete) failure = LineFailure{LongestLineText()};
        if (encoding_ == FileEncoding::Utf16 && oddByte_) {
            failure = LineFailure{"an even number of bytes in a UTF-16 file"};
        }
        if (!failure && encoding_ != FileEncoding::Utf16 && !Decode(line)) {
            failure = LineFailure{"text in the file's encoding"};
        }
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        return true;
    }

    static std::string LongestLineText() {
        return "a line of at most " + std::to_string(kLongestLine) + " characters";
    }

private:
    // At least `count` unread bytes in the buffer, unless the file ends first.
    bool Available(std::size_t count) {
        if (end_ - at_ >= count) return true;
        std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(at_),
                  buffer_.begin() + static_cast<std::ptrdiff_t>(end_), buffer_.begin());
        end_ -= at_;
        at_ = 0;
        in_.read(reinterpret_cast<char*>(buffer_.data() + end_),
                 static_cast<std::streamsize>(buffer_.size() - end_));
        end_ += static_cast<std::size_t>(in_.gcount());
        return end_ >= count;
    }

    void DetectEncoding() {
        if (Available(2) && buffer_[0] == 0xFF && buffer_[1] == 0xFE) {
            encoding_ = FileEncoding::Utf16;
            at_ = 2;
        } else if (Available(3) && buffer_[0] == 0xEF && buffer_[1] == 0xBB && buffer_[2] == 0xBF) {
            encoding_ = FileEncoding::Utf8;
            at_ = 3;
        }
    }

    bool NextUtf16(std::u16string& line) {
        for (;;) {
            if (!Available(2)) {
                oddByte_ = end_ - at_ == 1;
                at_ = end_;
                return true;
            }
            const std::size_t pairs = (end_ - at_) / 2;
            for (std::size_t i = 0; i < pairs; ++i, at_ += 2) {
                const auto unit = static_cast<char16_t>(buffer_[at_] | buffer_[at_ + 1] << 8);
                if (unit == u'\n') {
                    at_ += 2;
                    return true;
                }
                if (line.size() == kLongestLine) return false;
                line += unit;
            }
        }
    }

    // Bytes go into the line one per unit until Decode sees them whole.
    bool NextBytes(std::u16string& line) {
        for (;;) {
            if (!Available(1)) return true;
            for (; at_ < end_; ++at_) {
                if (buffer_[at_] == '\n') {
                    ++at_;
                    return true;
                }
                if (line.size() == kLongestLine) return false;
                line += static_cast<char16_t>(buffer_[at_]);
            }
        }
    }

    // Without a mark, a version 5.00 file may be in UTF-8 or in the ANSI code page: a line that
    // is no valid UTF-8 is taken as ANSI.
    bool Decode(std::u16string& line) const {
        const bool ascii =
            std::all_of(line.begin(), line.end(), [](char16_t unit) { return unit < 0x80; });
        if (ascii) return true;
        const std::string bytes(line.begin(), line.end());
        std::optional<std::u16string> text;
        if (encoding_ == FileEncoding::Utf8 || !ansiOnly_) text = inspect::Utf8ToUtf16(bytes);
        if (!text && encoding_ == FileEncoding::Bytes) text = converter_.ToUnicode(bytes);
        if (!text) return false;
        line = std::move(*text);
        return true;
    }

    std::istream& in_;
    const inspect::CodePageConverter& converter_;
    std::vector<std::uint8_t> buffer_;
    std::size_t at_ = 0;
    std::size_t end_ = 0;
    std::size_t number_ = 0;
    FileEncoding encoding_ = FileEncoding::Bytes;
    bool ansiOnly_ = false;
    bool oddByte_ = false;
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trimmed(std::u16string_view text) {
    while (!text.empty() && (IsBlank(text.front()) || text.front() == u'\r')) text.remove_prefix(1);
    while (!text.empty() && (IsBlank(text.back()) || text.back() == u'\r')) text.remove_suffix(1);
    return text;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Reads a number of 1 to 8 hex digits that makes up all of `text`.
std::optional<std::uint32_t> HexNumber(std::u16string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t number = 0;
    for (char16_t c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        number = number << 4 | static_cast<std::uint32_t>(digit);
    }
    return number;
}

// A quoted text starting at `line[at]`, with \\ and \" escapes; `at` moves past it.
std::optional<std::string> Quoted(std::u16string_view line, std::size_t& at, std::u16string& text,
                                  const char* closing) {
    text.clear();
    for (++at; at < line.size(); ++at) {
        const char16_t c = line[at];
        if (c == u'"') {
            ++at;
            return std::nullopt;
        }
        if (c == u'\\') {
            if (++at == line.size() || (line[at] != u'\\' && line[at] != u'"')) {
                return std::string("\\\\ or \\\" after a backslash");
            }
        }
        text += line[at];
    }
    return std::string(closing);
}

// Which header the line is: REGEDIT4's ANSI hex text or version 5.00's UTF-16LE.
std::optional<TextEncoding> HeaderHexText(std::u16string_view line) {
    line = Trimmed(line);
    if (line == kVersion5Header) return TextEncoding::Utf16;
    if (line == kVersion4Header) return TextEncoding::Ansi;
    return std::nullopt;
}

// A value line whose hex data ends in a backslash goes on in the next line, whose leading
// blanks drop. A string ending in a backslash, a path's "C:\\", ends its line.
bool Continues(std::u16string_view line) {
    const std::u16string_view text = Trimmed(line);
    if (text.empty() || text.back() != u'\\') return false;
    std::size_t at = 1;
    if (text.front() == u'"') {
        std::u16string name;
        at = 0;
        if (Quoted(text, at, name, "")) return false;
    } else if (text.front() != u'@') {
        return false;
    }
    while (at < text.size() && IsBlank(text[at])) ++at;
    return at < text.size() && text[at] == u'=' && StartsWith(Trimmed(text.substr(at + 1)), u"hex");
}

}  // namespace

std::optional<std::string> RegLineParser::Line(std::u16string_view line) {
    line = Trimmed(line);
    if (line.empty() || line.front() == u';') return std::nullopt;
    if (line.front() == u'[') return KeyLine(line);
    if (line.front() == u'"' || line.front() == u'@') return ValueLine(line);
    return std::string("a key line, a value line or a comment");
}

std::optional<std::string> RegLineParser::KeyLine(std::u16string_view line) {
    if (line.back() != u']') return std::string("\"]\" at the end of the key line");
    std::u16string_view path = line.substr(1, line.size() - 2);
    const bool deletion = !path.empty() && path.front() == u'-';
    if (deletion) path.remove_prefix(1);
    if (Trimmed(path).empty()) return std::string("a key path between \"[\" and \"]\"");
    inKey_ = true;
    if (deletion) {
        sink_.DeleteKey(path);
    } else {
        sink_.OpenKey(path);
    }
    return std::nullopt;
}

std::optional<std::string> RegLineParser::ValueLine(std::u16string_view line) {
    if (!inKey_) return std::string("a key line before the first value");
    std::size_t at = 0;
    name_.clear();
    if (line.front() == u'@') {
        at = 1;
    } else if (auto failure =
                   Quoted(line, at, name_, "a closing quotation mark after the value name")) {
        return failure;
    }
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at == line.size() || line[at] != u'=') return std::string("\"=\" after the value name");
    return Data(Trimmed(line.substr(at + 1)));
}

std::optional<std::string> RegLineParser::Data(std::u16string_view data) {
    if (data == u"-") {
        sink_.DeleteValue(name_);
        return std::nullopt;
    }
    if (!data.empty() && data.front() == u'"') return StringData(data);
    if (StartsWith(data, u"dword:")) return DwordData(data.substr(6));
    if (StartsWith(data, u"hex:")) return HexData(kRegBinary, data.substr(4));
    if (StartsWith(data, u"hex(")) {
        const std::size_t close = data.find(u"):");
        const std::optional<std::uint32_t> type = close == std::u16string_view::npos
                                                      ? std::nullopt
                                                      : HexNumber(data.substr(4, close - 4));
        if (!type) return std::string("a type number in hex and \"):\" after \"hex(\"");
        return HexData(*type, data.substr(close + 2));
    }
    return std::string("a string, \"-\", \"dword:\", \"hex:\" or \"hex(N):\" after \"=\"");
}

std::optional<std::string> RegLineParser::StringData(std::u16string_view data) {
    std::size_t at = 0;
    if (auto failure = Quoted(data, at, text_, "a closing quotation mark after the string")) {
        return failure;
    }
    if (at != data.size()) return std::string("the end of the line after the string");
    bytes_.clear();
    AppendUtf16Le(bytes_, text_);
    AppendUtf16Le(bytes_, std::u16string_view(u"\0", 1));
    sink_.SetValue(name_, kRegSz, bytes_, TextEncoding::Utf16);
    return std::nullopt;
}

std::optional<std::string> RegLineParser::DwordData(std::u16string_view digits) {
    const std::optional<std::uint32_t> number = HexNumber(digits);
    if (!number) return std::string("1 to 8 hex digits after \"dword:\"");
    bytes_.clear();
    for (int shift = 0; shift < 32; shift += 8) {
        bytes_.push_back(static_cast<std::uint8_t>(*number >> shift));
    }
    sink_.SetValue(name_, kRegDword, bytes_, TextEncoding::Utf16);
    return std::nullopt;
}

// Comma-separated bytes of one or two hex digits; a comma may end the list.
std::optional<std::string> RegLineParser::HexData(std::uint32_t type, std::u16string_view list) {
    bytes_.clear();
    std::size_t at = 0;
    while (at < list.size()) {
        while (at < list.size() && IsBlank(list[at])) ++at;
        const std::size_t start = at;
        while (at < list.size() && at - start < 3 && HexDigit(list[at]) >= 0) ++at;
        const std::optional<std::uint32_t> byte =
            at - start <= 2 ? HexNumber(list.substr(start, at - start)) : std::nullopt;
        while (at < list.size() && IsBlank(list[at])) ++at;
        if (!byte || (at < list.size() && list[at] != u',')) {
            return std::string("bytes of two hex digits separated by commas");
        }
        bytes_.push_back(static_cast<std::uint8_t>(*byte));
        ++at;
    }
    sink_.SetValue(name_, type, bytes_, hexText_);
    return std::nullopt;
}

std::optional<ReadError> ReadRegFile(std::istream& in, const inspect::CodePageConverter& converter,
                                     RegFileSink& import) {
    PhysicalLines lines(in, converter);
    RegLineParser parser(import, TextEncoding::Utf16);
    std::u16string physical;
    std::u16string logical;
    std::optional<LineFailure> failure;
    bool headerRead = false;
    while (lines.Next(physical, failure)) {
        const std::size_t start = lines.number();
        if (failure) return ReadError{start, failure->expected};
        if (!headerRead) {
            if (Trimmed(physical).empty()) continue;
            const std::optional<TextEncoding> hexText = HeaderHexText(physical);
            if (!hexText) return ReadError{start, kHeaderExpected};
            parser.TakeHexTextAs(*hexText);
            if (*hexText == TextEncoding::Ansi) lines.TakeAnsiOnly();
            headerRead = true;
            continue;
        }
        logical = physical;
        while (Continues(logical)) {
            logical.resize(logical.find_last_of(u'\\'));
            if (!lines.Next(physical, failure)) break;
            if (failure) return ReadError{lines.number(), failure->expected};
            const std::u16string_view next = Trimmed(physical);
            if (logical.size() + next.size() > kLongestLine) {
                return ReadError{start, PhysicalLines::LongestLineText()};
            }
            logical += next;
        }
        if (auto expected = parser.Line(logical)) return ReadError{start, *expected};
    }
    if (!headerRead) return ReadError{1, kHeaderExpected};
    return std::nullopt;
}

}  // namespace instdll
