#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <string>

#include "inspect/code_page_converter.h"
#include "inspect/registry_import.h"

namespace instdll::inspect {

// A line no longer than this, continuations included, is read; a longer one stops the load, so
// that a hostile file cannot make the reader hold more.
inline constexpr std::size_t kLongestLine = std::size_t{1} << 23;

struct ReadError {
    std::size_t line = 0;  // 1-based; a continued line reports where it started
    std::string expected;  // what the line should have held there
};

// Streams one registry export into `import`: version 5.00 in UTF-16LE with its byte order mark,
// in UTF-8 (with or without a mark) or in the ANSI code page, and REGEDIT4 in the ANSI code
// page. Stops at the first malformed line; what was imported before it stays imported.
std::optional<ReadError> ReadRegFile(std::istream& in, const CodePageConverter& converter,
                                     RegistryImport& import);

}  // namespace instdll::inspect
