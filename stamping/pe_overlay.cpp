#include "stamping/pe_overlay.h"

#include <algorithm>

namespace instdll {
namespace {

constexpr std::uint64_t kNewHeaderOffsetField = 0x3C;
constexpr std::uint64_t kFileHeaderSize = 20;
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint64_t kSectionRawSizeField = 16;  // followed by the raw offset
constexpr std::uint64_t kSizeOfHeadersField = 60;   // the same in PE32 and PE32+
constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"

// One little-endian field, read in one piece.
template <typename Field>
std::optional<Field> Read(const RandomAccessFile& file, std::uint64_t offset) {
    std::uint8_t bytes[sizeof(Field)];
    if (!file.ReadAt(offset, bytes, sizeof bytes)) return std::nullopt;
    Field value = 0;
    for (std::size_t i = sizeof bytes; i-- > 0;) value = static_cast<Field>(value << 8 | bytes[i]);
    return value;
}

}  // namespace

std::optional<std::uint64_t> SectionDataEnd(const RandomAccessFile& file) {
    if (Read<std::uint16_t>(file, 0) != std::uint16_t{'M' | 'Z' << 8}) return std::nullopt;
    const auto peHeader = Read<std::uint32_t>(file, kNewHeaderOffsetField);
    if (!peHeader || Read<std::uint32_t>(file, *peHeader) != kPeSignature) return std::nullopt;
    const std::uint64_t fileHeader = std::uint64_t{*peHeader} + 4;
    const auto sectionCount = Read<std::uint16_t>(file, fileHeader + 2);
    const auto optionalSize = Read<std::uint16_t>(file, fileHeader + 16);
    if (!sectionCount || !optionalSize || *optionalSize < kSizeOfHeadersField + 4) {
        return std::nullopt;
    }
    const std::uint64_t optionalHeader = fileHeader + kFileHeaderSize;
    const auto headersSize = Read<std::uint32_t>(file, optionalHeader + kSizeOfHeadersField);
    const std::uint64_t sectionTable = optionalHeader + *optionalSize;
    const std::uint64_t tableEnd = sectionTable + std::uint64_t{*sectionCount} * kSectionHeaderSize;
    if (!headersSize || tableEnd > file.Size()) return std::nullopt;

    std::uint64_t end = std::max<std::uint64_t>(*headersSize, tableEnd);
    for (std::uint64_t section = sectionTable; section < tableEnd; section += kSectionHeaderSize) {
        const auto rawSize = Read<std::uint32_t>(file, section + kSectionRawSizeField);
        const auto rawOffset = Read<std::uint32_t>(file, section + kSectionRawSizeField + 4);
        if (!rawSize || !rawOffset) return std::nullopt;
        if (*rawSize != 0) end = std::max(end, std::uint64_t{*rawOffset} + *rawSize);
    }
    if (end > file.Size()) return std::nullopt;
    return end;
}

}  // namespace instdll
