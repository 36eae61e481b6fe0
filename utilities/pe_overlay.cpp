#include "utilities/pe_overlay.h"

#include <algorithm>

namespace instdll {
namespace {

constexpr std::size_t kNewHeaderOffsetField = 0x3C;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kSizeOfHeadersField = 60;  // the same in PE32 and PE32+

std::optional<std::uint16_t> ReadU16(const FileBytes& file, std::uint64_t offset) {
    if (offset + 2 > file.size()) return std::nullopt;
    const auto at = static_cast<std::size_t>(offset);
    return static_cast<std::uint16_t>(file[at] | file[at + 1] << 8);
}

std::optional<std::uint32_t> ReadU32(const FileBytes& file, std::uint64_t offset) {
    const auto low = ReadU16(file, offset);
    const auto high = ReadU16(file, offset + 2);
    if (!low || !high) return std::nullopt;
    return static_cast<std::uint32_t>(*low | std::uint32_t{*high} << 16);
}

}  // namespace

std::optional<std::size_t> SectionDataEnd(const FileBytes& file) {
    if (file.size() < 2 || file[0] != 'M' || file[1] != 'Z') return std::nullopt;
    const auto peHeader = ReadU32(file, kNewHeaderOffsetField);
    if (!peHeader || ReadU32(file, *peHeader) != 0x00004550u) return std::nullopt;  // "PE\0\0"
    const std::uint64_t fileHeader = std::uint64_t{*peHeader} + 4;
    const auto sectionCount = ReadU16(file, fileHeader + 2);
    const auto optionalSize = ReadU16(file, fileHeader + 16);
    if (!sectionCount || !optionalSize || *optionalSize < kSizeOfHeadersField + 4) {
        return std::nullopt;
    }
    const std::uint64_t optionalHeader = fileHeader + kFileHeaderSize;
    const auto headersSize = ReadU32(file, optionalHeader + kSizeOfHeadersField);
    const std::uint64_t sectionTable = optionalHeader + *optionalSize;
    const std::uint64_t tableEnd = sectionTable + std::uint64_t{*sectionCount} * kSectionHeaderSize;
    if (!headersSize || tableEnd > file.size()) return std::nullopt;

    std::uint64_t end = std::max<std::uint64_t>(*headersSize, tableEnd);
    for (std::uint64_t section = sectionTable; section < tableEnd; section += kSectionHeaderSize) {
        const std::uint32_t rawSize = *ReadU32(file, section + 16);
        const std::uint32_t rawOffset = *ReadU32(file, section + 20);
        if (rawSize != 0) end = std::max(end, std::uint64_t{rawOffset} + rawSize);
    }
    if (end > file.size()) return std::nullopt;
    return static_cast<std::size_t>(end);
}

FileBytes Overlay(const FileBytes& file) {
    const auto end = SectionDataEnd(file);
    if (!end) return {};
    return FileBytes(file.begin() + static_cast<std::ptrdiff_t>(*end), file.end());
}

std::optional<std::size_t> OverlayRestoreOffset(const FileBytes& rewritten,
                                                const FileBytes& overlay) {
    if (overlay.empty()) return std::nullopt;
    const auto end = SectionDataEnd(rewritten);
    if (!end || Overlay(rewritten) == overlay) return std::nullopt;
    return end;
}

}  // namespace instdll
