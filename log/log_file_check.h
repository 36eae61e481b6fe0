#pragma once

#include <cstdint>

namespace instdll {

inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;

enum class LogFileVerdict { Usable, Unknown, Link, HardLinked, NotAFile };

// Whether an opened log path is a file the log may write: what the name led to must be a plain
// file of its own. A link, opened as itself, would send the lines wherever it points; a second
// name would let whoever holds it read and edit what the restore later trusts.
inline LogFileVerdict JudgeLogFile(bool infoRead, std::uint32_t attributes, std::uint32_t links) {
    if (!infoRead) return LogFileVerdict::Unknown;
    if ((attributes & kFileAttributeReparsePoint) != 0) return LogFileVerdict::Link;
    if ((attributes & kFileAttributeDirectory) != 0) return LogFileVerdict::NotAFile;
    return links > 1 ? LogFileVerdict::HardLinked : LogFileVerdict::Usable;
}

}  // namespace instdll
