#include "stamping/pe_overlay.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace instdll {
namespace {

constexpr std::uint64_t kNewHeaderOffsetField = 0x3C;
constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint64_t kFileHeaderSize = 20;
constexpr std::uint64_t kSymbolTableField = 8;  // in the file header; the count follows
constexpr std::uint64_t kSymbolSize = 18;
constexpr std::uint64_t kStringTableLengthSize = 4;
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint64_t kSectionRawSizeField = 16;  // followed by the raw offset
// Optional header fields at the same place in PE32 and PE32+.
constexpr std::uint64_t kSizeOfHeadersField = 60;
constexpr std::uint64_t kChecksumField = 64;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uint64_t kPe32DirectoryCountField = 92;
constexpr std::uint64_t kPe32PlusDirectoryCountField = 108;
constexpr std::uint32_t kSecurityDirectory = 4;
constexpr std::uint64_t kDirectoryEntrySize = 8;
constexpr std::uint64_t kCertificateHeaderSize = 8;  // length, revision, type
constexpr std::uint16_t kCertificateRevisions[] = {0x0100, 0x0200};

// One little-endian field, read in one piece.
template <typename Field>
std::optional<Field> Read(const RandomAccessFile& file, std::uint64_t offset) {
    std::uint8_t bytes[sizeof(Field)];
    if (!file.ReadAt(offset, bytes, sizeof bytes)) return std::nullopt;
    Field value = 0;
    for (std::size_t i = sizeof bytes; i-- > 0;) value = static_cast<Field>(value << 8 | bytes[i]);
    return value;
}

std::uint64_t AlignedToEight(std::uint64_t size) { return (size + 7) / 8 * 8; }

std::optional<std::uint64_t> SectionsEnd(const RandomAccessFile& file, std::uint64_t sectionTable,
                                         std::uint16_t sectionCount, std::uint32_t headersSize) {
    const std::uint64_t tableEnd = sectionTable + std::uint64_t{sectionCount} * kSectionHeaderSize;
    if (tableEnd > file.Size()) return std::nullopt;
    std::uint64_t end = std::max<std::uint64_t>(headersSize, tableEnd);
    for (std::uint64_t section = sectionTable; section < tableEnd; section += kSectionHeaderSize) {
        const auto rawSize = Read<std::uint32_t>(file, section + kSectionRawSizeField);
        const auto rawOffset = Read<std::uint32_t>(file, section + kSectionRawSizeField + 4);
        if (!rawSize || !rawOffset) return std::nullopt;
        if (*rawSize != 0) end = std::max(end, std::uint64_t{*rawOffset} + *rawSize);
    }
    if (end > file.Size()) return std::nullopt;
    return end;
}

// Finds the security entry, when the optional header and its directory reach that far, and
// what it names. False when a field cannot be read: a failed read is not a missing entry.
bool ReadSecurityEntry(const RandomAccessFile& file, std::uint64_t optionalHeader,
                       std::uint16_t optionalSize, PeHeaders& headers) {
    const auto magic = Read<std::uint16_t>(file, optionalHeader);
    if (!magic) return false;
    const std::uint64_t countField =
        *magic == kPe32PlusMagic ? kPe32PlusDirectoryCountField : kPe32DirectoryCountField;
    const std::uint64_t entry = countField + 4 + kSecurityDirectory * kDirectoryEntrySize;
    if (optionalSize < entry + kDirectoryEntrySize) return true;
    const auto count = Read<std::uint32_t>(file, optionalHeader + countField);
    if (!count) return false;
    if (*count <= kSecurityDirectory) return true;
    const auto offset = Read<std::uint32_t>(file, optionalHeader + entry);
    const auto size = Read<std::uint32_t>(file, optionalHeader + entry + 4);
    if (!offset || !size) return false;
    headers.securityEntryField = optionalHeader + entry;
    headers.certificateTable = {*offset, *size};
    return true;
}

std::vector<HeaderPatch> HeaderPatches(const PeHeaders& headers, std::uint32_t symbolTable,
                                       std::uint32_t symbolCount) {
    std::vector<HeaderPatch> patches;
    if (headers.securityEntryField) {
        patches.push_back({*headers.securityEntryField, 0});
        patches.push_back({*headers.securityEntryField + 4, 0});
    }
    patches.push_back({headers.symbolTableField, symbolTable});
    patches.push_back({headers.symbolTableField + 4, symbolCount});
    return patches;
}

// Whether `table` holds a well-formed certificate table after the section data: entries of a
// known revision, each 8-byte aligned, filling it exactly. nullopt when a read fails.
std::optional<bool> IsCertificateTable(const RandomAccessFile& file, const PeHeaders& headers,
                                       const FileRange& table) {
    if (table.size == 0 || table.offset < headers.sectionsEnd || table.end() > file.Size()) {
        return false;
    }
    for (std::uint64_t entry = table.offset; entry < table.end();) {
        if (table.end() - entry < kCertificateHeaderSize) return false;
        const auto length = Read<std::uint32_t>(file, entry);
        const auto revision = Read<std::uint16_t>(file, entry + 4);
        if (!length || !revision) return std::nullopt;
        if (*length < kCertificateHeaderSize || *length > table.end() - entry ||
            std::find(std::begin(kCertificateRevisions), std::end(kCertificateRevisions),
                      *revision) == std::end(kCertificateRevisions)) {
            return false;
        }
        // The last entry's padding may be left off at the table's end.
        entry = std::min(entry + AlignedToEight(*length), table.end());
    }
    return true;
}

// The symbol table's bytes with the string table that follows it: that table's length is its
// first four bytes, themselves included, bounded by the file. nullopt when a read fails.
std::optional<std::uint64_t> SymbolBytes(const RandomAccessFile& file, const PeHeaders& headers) {
    const std::uint64_t symbols = std::uint64_t{headers.symbolCount} * kSymbolSize;
    const std::uint64_t strings = std::uint64_t{headers.symbolTable} + symbols;
    const std::uint64_t size = file.Size();
    if (headers.symbolTable == 0 || strings >= size) return symbols;
    const std::uint64_t room = size - strings;
    if (room < kStringTableLengthSize) return symbols + room;
    const auto length = Read<std::uint32_t>(file, strings);
    if (!length) return std::nullopt;
    return symbols + std::clamp<std::uint64_t>(*length, kStringTableLengthSize, room);
}

}  // namespace

std::optional<PeHeaders> ReadPeHeaders(const RandomAccessFile& file) {
    if (Read<std::uint16_t>(file, 0) != std::uint16_t{'M' | 'Z' << 8}) return std::nullopt;
    const auto peHeader = Read<std::uint32_t>(file, kNewHeaderOffsetField);
    if (!peHeader || Read<std::uint32_t>(file, *peHeader) != kPeSignature) return std::nullopt;
    const std::uint64_t fileHeader = std::uint64_t{*peHeader} + 4;
    const auto sectionCount = Read<std::uint16_t>(file, fileHeader + 2);
    const auto symbolTable = Read<std::uint32_t>(file, fileHeader + kSymbolTableField);
    const auto symbolCount = Read<std::uint32_t>(file, fileHeader + kSymbolTableField + 4);
    const auto optionalSize = Read<std::uint16_t>(file, fileHeader + 16);
    if (!sectionCount || !symbolTable || !symbolCount || !optionalSize ||
        *optionalSize < kChecksumField + 4) {
        return std::nullopt;
    }
    const std::uint64_t optionalHeader = fileHeader + kFileHeaderSize;
    const auto headersSize = Read<std::uint32_t>(file, optionalHeader + kSizeOfHeadersField);
    if (!headersSize) return std::nullopt;
    const auto sectionsEnd =
        SectionsEnd(file, optionalHeader + *optionalSize, *sectionCount, *headersSize);
    if (!sectionsEnd) return std::nullopt;

    PeHeaders headers;
    headers.sectionsEnd = *sectionsEnd;
    headers.checksumField = optionalHeader + kChecksumField;
    headers.symbolTableField = fileHeader + kSymbolTableField;
    headers.symbolTable = *symbolTable;
    headers.symbolCount = *symbolCount;
    if (!ReadSecurityEntry(file, optionalHeader, *optionalSize, headers)) return std::nullopt;
    return headers;
}

std::optional<std::uint64_t> SectionDataEnd(const RandomAccessFile& file) {
    const auto headers = ReadPeHeaders(file);
    if (!headers) return std::nullopt;
    return headers->sectionsEnd;
}

std::optional<std::uint32_t> PeChecksum(const RandomAccessFile& file, std::uint64_t checksumField) {
    const std::uint64_t size = file.Size();
    // Even, so that every chunk but the last starts and ends on a word.
    std::vector<std::uint8_t> chunk(
        static_cast<std::size_t>(std::min<std::uint64_t>(size, kStreamChunkSize)));
    std::uint64_t sum = 0;
    for (std::uint64_t done = 0; done < size;) {
        const auto length =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - done, chunk.size()));
        if (!file.ReadAt(done, chunk.data(), length)) return std::nullopt;
        const std::uint64_t fieldEnd = std::min(done + length, checksumField + 4);
        for (std::uint64_t at = std::max(done, checksumField); at < fieldEnd; ++at) {
            chunk[static_cast<std::size_t>(at - done)] = 0;
        }
        for (std::size_t i = 0; i + 1 < length; i += 2) {
            sum += static_cast<std::uint32_t>(chunk[i] | chunk[i + 1] << 8);
        }
        // An odd length ends in a word whose high byte is zero.
        if (length % 2 != 0) sum += chunk[length - 1];
        done += length;
    }
    while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + size);
}

std::optional<UnsignedLayout> UnsignedLayout::Of(const RandomAccessFile& target,
                                                 const PeHeaders& headers) {
    const FileRange overlay{headers.sectionsEnd, target.Size() - headers.sectionsEnd};
    const FileRange& table = headers.certificateTable;
    const auto isTable = IsCertificateTable(target, headers, table);
    const auto symbolBytes = SymbolBytes(target, headers);
    if (!isTable || !symbolBytes) return std::nullopt;
    // An entry that names no certificate table there (one left by a faulty tool) is cleared
    // all the same, but nothing is taken out for it.
    if (!*isTable) return UnsignedLayout(headers, *symbolBytes, {overlay});
    std::vector<FileRange> kept;
    for (const FileRange& piece : {FileRange{overlay.offset, table.offset - overlay.offset},
                                   FileRange{table.end(), overlay.end() - table.end()}}) {
        if (piece.size != 0) kept.push_back(piece);
    }
    return UnsignedLayout(headers, *symbolBytes, std::move(kept));
}

std::uint64_t UnsignedLayout::KeptOverlaySize() const {
    std::uint64_t size = 0;
    for (const FileRange& piece : kept_) size += piece.size;
    return size;
}

std::optional<std::uint64_t> UnsignedLayout::CopyOffset(std::uint64_t targetOffset,
                                                        std::uint64_t size,
                                                        std::uint64_t copySectionsEnd) const {
    std::uint64_t copyOffset = copySectionsEnd;
    for (const FileRange& piece : kept_) {
        if (targetOffset >= piece.offset && targetOffset - piece.offset <= piece.size &&
            size <= piece.end() - targetOffset) {
            return copyOffset + (targetOffset - piece.offset);
        }
        copyOffset += piece.size;
    }
    return std::nullopt;
}

std::vector<HeaderPatch> UnsignedLayout::Patches(const PeHeaders& copy) const {
    if (target_.symbolTable == 0) return HeaderPatches(copy, 0, target_.symbolCount);
    // The section data that the stamp rewrites may hold it no longer; the overlay does.
    const auto moved = CopyOffset(target_.symbolTable, symbolBytes_, copy.sectionsEnd);
    if (!moved || *moved > std::numeric_limits<std::uint32_t>::max()) {
        return HeaderPatches(copy, 0, 0);
    }
    return HeaderPatches(copy, static_cast<std::uint32_t>(*moved), target_.symbolCount);
}

std::vector<HeaderPatch> SectionsOnlyPatches(const PeHeaders& headers) {
    return HeaderPatches(headers, 0, 0);
}

}  // namespace instdll
