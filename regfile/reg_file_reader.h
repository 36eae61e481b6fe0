#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/code_page_converter.h"
#include "regfile/reg_file_sink.h"

namespace instdll {

// A line no longer than this, continuations included, is read; a longer one stops the load, so
// that a hostile file cannot make the reader hold more.
inline constexpr std::size_t kLongestLine = std::size_t{1} << 23;

struct ReadError {
    std::size_t line = 0;  // 1-based; a continued line reports where it started
    std::string expected;  // what the line should have held there
};

// One logical line of an export's body at a time (continuations joined): key lines, value lines,
// comments. Hex data of the text types is ANSI in a REGEDIT4 file, UTF-16LE in a version 5.00
// one.
class RegLineParser {
public:
    RegLineParser(RegFileSink& sink, TextEncoding hexText) : sink_(sink), hexText_(hexText) {}

    void TakeHexTextAs(TextEncoding hexText) { hexText_ = hexText; }
    // What the line should have held where it went wrong, if it did.
    std::optional<std::string> Line(std::u16string_view line);

private:
    std::optional<std::string> KeyLine(std::u16string_view line);
    std::optional<std::string> ValueLine(std::u16string_view line);
    std::optional<std::string> Data(std::u16string_view data);
    std::optional<std::string> StringData(std::u16string_view data);
    std::optional<std::string> DwordData(std::u16string_view digits);
    std::optional<std::string> HexData(std::uint32_t type, std::u16string_view list);

    RegFileSink& sink_;
    TextEncoding hexText_;
    bool inKey_ = false;
    std::u16string name_;
    std::u16string text_;
    std::vector<std::uint8_t> bytes_;
};

// Streams one registry export into `import`: version 5.00 in UTF-16LE with its byte order mark,
// in UTF-8 (with or without a mark) or in the ANSI code page, and REGEDIT4 in the ANSI code
// page. Stops at the first malformed line; what was imported before it stays imported.
std::optional<ReadError> ReadRegFile(std::istream& in, const inspect::CodePageConverter& converter,
                                     RegFileSink& import);

}  // namespace instdll
