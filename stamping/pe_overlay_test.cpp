#include "stamping/pe_overlay.h"

#include <algorithm>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace instdll {
namespace {

using FileBytes = std::vector<std::uint8_t>;

struct Section {
    std::uint32_t rawOffset;
    std::uint32_t rawSize;
};

constexpr std::uint32_t kPeHeader = 0x80;
constexpr std::uint16_t kOptionalSize = 0xF0;  // PE32+
constexpr std::uint32_t kSectionTable = kPeHeader + 24 + kOptionalSize;

void PutU16(FileBytes& file, std::size_t at, std::uint16_t value) {
    file[at] = static_cast<std::uint8_t>(value);
    file[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(FileBytes& file, std::size_t at, std::uint32_t value) {
    PutU16(file, at, static_cast<std::uint16_t>(value));
    PutU16(file, at + 2, static_cast<std::uint16_t>(value >> 16));
}

class BytesInMemory final : public RandomAccessFile {
public:
    explicit BytesInMemory(const FileBytes& bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const override {
        if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), size, out);
        return true;
    }

private:
    const FileBytes& bytes_;
};

// A PE file of `size` bytes with the given section table, headers ending at `headersSize`.
FileBytes PeFile(std::size_t size, std::vector<Section> sections,
                 std::uint32_t headersSize = 0x400) {
    FileBytes file(size, 0xCC);
    file[0] = 'M';
    file[1] = 'Z';
    PutU32(file, 0x3C, kPeHeader);
    PutU32(file, kPeHeader, 0x00004550);
    PutU16(file, kPeHeader + 4 + 2, static_cast<std::uint16_t>(sections.size()));
    PutU16(file, kPeHeader + 4 + 16, kOptionalSize);
    PutU32(file, kPeHeader + 24 + 60, headersSize);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        PutU32(file, kSectionTable + 40 * i + 16, sections[i].rawSize);
        PutU32(file, kSectionTable + 40 * i + 20, sections[i].rawOffset);
    }
    return file;
}

std::optional<std::uint64_t> SectionDataEnd(const FileBytes& bytes) {
    return SectionDataEnd(BytesInMemory(bytes));
}

TEST(SectionDataEnd, IsTheFurthestEndOfHeadersAndSectionData) {
    struct Case {
        const char* label;
        std::size_t size;
        std::vector<Section> sections;
        std::optional<std::size_t> end;
    };
    const Case cases[] = {
        {"no overlay", 0x1000, {{0x400, 0x800}, {0xC00, 0x400}}, 0x1000},
        {"overlay", 0x1800, {{0x400, 0x800}, {0xC00, 0x400}}, 0x1000},
        {"sections out of order", 0x1800, {{0xC00, 0x400}, {0x400, 0x800}}, 0x1000},
        {"uninitialised data only", 0x600, {{0x400, 0x200}, {0x9000, 0}}, 0x600},
        {"no sections", 0x500, {}, 0x400},
        {"section past the end", 0xFFF, {{0x400, 0x800}, {0xC00, 0x400}}, std::nullopt},
        {"offset and size overflow 32 bits", 0x1000, {{0xFFFFFF00, 0x200}}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SectionDataEnd(PeFile(c.size, c.sections)), c.end) << c.label;
    }
}

TEST(SectionDataEnd, RejectsWhatIsNotAPeFile) {
    const FileBytes good = PeFile(0x1000, {{0x400, 0xC00}});
    ASSERT_TRUE(SectionDataEnd(good));
    auto broken = [&](std::size_t at, std::uint8_t value) {
        FileBytes file = good;
        file[at] = value;
        return file;
    };
    EXPECT_EQ(SectionDataEnd({}), std::nullopt);
    EXPECT_EQ(SectionDataEnd(FileBytes{'M', 'Z'}), std::nullopt);
    EXPECT_EQ(SectionDataEnd(broken(0, 'X')), std::nullopt) << "MZ";
    EXPECT_EQ(SectionDataEnd(broken(kPeHeader + 1, 'X')), std::nullopt) << "PE signature";
    EXPECT_EQ(SectionDataEnd(broken(0x3F, 0x7F)), std::nullopt) << "PE header past the end";
    EXPECT_EQ(SectionDataEnd(broken(kPeHeader + 4 + 16, 8)), std::nullopt)
        << "optional header too small to hold SizeOfHeaders";
    EXPECT_EQ(SectionDataEnd(broken(kPeHeader + 4 + 3, 0xFF)), std::nullopt)
        << "section table past the end";
    EXPECT_EQ(SectionDataEnd(FileBytes(good.begin(), good.begin() + kPeHeader + 30)), std::nullopt)
        << "cut inside the headers";
}

constexpr std::uint32_t kOptionalHeader = kPeHeader + 24;
constexpr std::uint32_t kSymbolTableField = kPeHeader + 4 + 8;
constexpr std::uint32_t kChecksumField = kOptionalHeader + 64;
constexpr std::uint32_t kSecurityEntry = kOptionalHeader + 112 + 4 * 8;  // PE32+

// A PE32+ file with sections up to 0x1000, then `size - 0x1000` bytes of overlay, its security
// entry naming `certificates` and its symbol table at `symbols`.
FileBytes SignedFile(std::size_t size, FileRange certificates, std::uint32_t symbols = 0,
                     std::uint32_t symbolCount = 0) {
    FileBytes file = PeFile(size, {{0x400, 0xC00}});
    PutU16(file, kOptionalHeader, 0x20B);
    PutU32(file, kOptionalHeader + 108, 16);
    PutU32(file, kSecurityEntry, static_cast<std::uint32_t>(certificates.offset));
    PutU32(file, kSecurityEntry + 4, static_cast<std::uint32_t>(certificates.size));
    PutU32(file, kSymbolTableField, symbols);
    PutU32(file, kSymbolTableField + 4, symbolCount);
    return file;
}

TEST(ReadPeHeaders, FindsTheSecurityEntryOnlyWhereTheDirectoryHasOne) {
    FileBytes file = SignedFile(0x1800, {0x1400, 0x400}, 0x1000, 3);
    const auto headers = ReadPeHeaders(BytesInMemory(file));
    ASSERT_TRUE(headers);
    EXPECT_EQ(headers->sectionsEnd, 0x1000u);
    EXPECT_EQ(headers->checksumField, kChecksumField);
    EXPECT_EQ(headers->securityEntryField, kSecurityEntry);
    EXPECT_EQ(headers->certificateTable, (FileRange{0x1400, 0x400}));
    EXPECT_EQ(headers->symbolTable, 0x1000u);
    EXPECT_EQ(headers->symbolCount, 3u);

    PutU16(file, kOptionalHeader, 0x10B);  // PE32: the directory starts 16 bytes earlier
    PutU32(file, kOptionalHeader + 92, 16);
    EXPECT_EQ(ReadPeHeaders(BytesInMemory(file))->securityEntryField, kSecurityEntry - 16);
    PutU32(file, kOptionalHeader + 92, 4);
    EXPECT_EQ(ReadPeHeaders(BytesInMemory(file))->securityEntryField, std::nullopt)
        << "four directory entries end before the security entry";
    PutU16(file, kPeHeader + 4 + 16, 96 + 4 * 8);
    PutU32(file, kOptionalHeader + 92, 16);
    EXPECT_EQ(ReadPeHeaders(BytesInMemory(file))->securityEntryField, std::nullopt)
        << "the optional header ends before the security entry";
}

// One certificate entry: length, revision, type, then its bytes up to the next 8-byte boundary.
void PutCertificate(FileBytes& file, std::size_t at, std::uint32_t length,
                    std::uint16_t revision = 0x0200) {
    PutU32(file, at, length);
    PutU16(file, at + 4, revision);
    PutU16(file, at + 6, 2);
}

// Fails every read that touches `failing`.
class FailingAt final : public RandomAccessFile {
public:
    FailingAt(const FileBytes& bytes, std::uint64_t failing) : bytes_(bytes), failing_(failing) {}
    std::uint64_t Size() const override { return bytes_.Size(); }
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const override {
        return (failing_ < offset || failing_ >= offset + size) && bytes_.ReadAt(offset, out, size);
    }

private:
    BytesInMemory bytes_;
    std::uint64_t failing_;
};

TEST(ReadPeHeaders, AFailedReadIsNotAMissingField) {
    FileBytes file = SignedFile(0x1800, {0x1400, 0x400}, 0x1000, 3);
    PutCertificate(file, 0x1400, 0x400);
    const PeHeaders headers = *ReadPeHeaders(BytesInMemory(file));
    EXPECT_FALSE(UnsignedLayout::Of(FailingAt(file, 0x1404), headers)) << "certificate revision";
    EXPECT_FALSE(UnsignedLayout::Of(FailingAt(file, 0x1000 + 3 * 18), headers))
        << "string table length";
    const std::uint64_t fields[] = {kOptionalHeader,   kOptionalHeader + 108,
                                    kSecurityEntry,    kSecurityEntry + 4,
                                    kSymbolTableField, kSymbolTableField + 4};
    for (const std::uint64_t field : fields) {
        EXPECT_FALSE(ReadPeHeaders(FailingAt(file, field)).has_value()) << field;
    }
}

// The checksum as the textbook states it: 32-bit words, the carry out of each sum added back,
// the checksum field as zero, the last word padded with zeros.
std::uint32_t ReferenceChecksum(FileBytes file, std::size_t checksumField) {
    std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(checksumField), 4, 0);
    const std::size_t length = file.size();
    file.resize((length + 3) / 4 * 4);
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 4) {
        sum += std::uint64_t{file[i]} | std::uint64_t{file[i + 1]} << 8 |
               std::uint64_t{file[i + 2]} << 16 | std::uint64_t{file[i + 3]} << 24;
        sum = (sum & 0xFFFFFFFF) + (sum >> 32);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    sum = (sum + (sum >> 16)) & 0xFFFF;
    return static_cast<std::uint32_t>(sum + length);
}

TEST(PeChecksum, SumsTheWordsWithTheirCarriesAndAddsTheLength) {
    // 0xFFFF + 0xFFFF + 0x0001 folds to 1; then the length, 5.
    const FileBytes small{0xFF, 0xFF, 0xFF, 0xFF, 0x01};
    EXPECT_EQ(PeChecksum(BytesInMemory(small), 0x40), 6u);

    FileBytes file = SignedFile(3 * kStreamChunkSize + 3, {});
    for (std::size_t i = 0x1000; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 131);
    const auto checksum = PeChecksum(BytesInMemory(file), kChecksumField);
    EXPECT_EQ(checksum, ReferenceChecksum(file, kChecksumField)) << "odd length over chunks";
    PutU32(file, kChecksumField, 0x12345678);
    EXPECT_EQ(PeChecksum(BytesInMemory(file), kChecksumField), checksum)
        << "the field itself does not count";
    file.back() ^= 1;
    EXPECT_NE(PeChecksum(BytesInMemory(file), kChecksumField), checksum);
}

TEST(UnsignedLayout, KeepsEverythingButAWellFormedCertificateTable) {
    struct Case {
        const char* label;
        FileRange entry;
        std::vector<std::pair<std::uint32_t, std::uint16_t>> certificates;  // length, revision
        std::vector<FileRange> kept;
    };
    const FileRange wholeOverlay{0x1000, 0x1000};
    const Case cases[] = {
        {"at the end", {0x1800, 0x800}, {{0x800, 0x200}}, {{0x1000, 0x800}}},
        {"two entries, the last unpadded",
         {0x1800, 0x800},
         {{0x104, 0x200}, {0x6F8, 0x100}},
         {{0x1000, 0x800}}},
        {"right after the sections", {0x1000, 0x1000}, {{0x1000, 0x200}}, {}},
        {"payload after it", {0x1400, 0x400}, {{0x400, 0x200}}, {{0x1000, 0x400}, {0x1800, 0x800}}},
        {"no entry", {0, 0}, {}, {wholeOverlay}},
        {"unknown revision", {0x1800, 0x800}, {{0x800, 0x300}}, {wholeOverlay}},
        {"entry longer than the table", {0x1800, 0x800}, {{0x808, 0x200}}, {wholeOverlay}},
        {"entry shorter than its header", {0x1800, 0x800}, {{0x4, 0x200}}, {wholeOverlay}},
        {"table not filled", {0x1800, 0x800}, {{0x400, 0x200}, {0x4, 0x200}}, {wholeOverlay}},
        {"past the end", {0x1C00, 0x800}, {{0x400, 0x200}}, {wholeOverlay}},
        {"inside the sections", {0x800, 0x800}, {{0x800, 0x200}}, {wholeOverlay}},
        {"offset and size overflow 32 bits", {0xFFFFFF00, 0x200}, {}, {wholeOverlay}},
    };
    for (const Case& c : cases) {
        FileBytes file = SignedFile(0x2000, c.entry);
        std::uint64_t at = c.entry.offset;
        for (const auto& [length, revision] : c.certificates) {
            PutCertificate(file, static_cast<std::size_t>(at), length, revision);
            at += (length + 7) / 8 * 8;
        }
        const BytesInMemory bytes(file);
        const auto layout = UnsignedLayout::Of(bytes, *ReadPeHeaders(bytes));
        ASSERT_TRUE(layout) << c.label;
        EXPECT_EQ(layout->KeptOverlay(), c.kept) << c.label;
    }
}

std::vector<HeaderPatch> PatchesAfterGrowth(const FileBytes& target, std::uint64_t growth) {
    const BytesInMemory bytes(target);
    const PeHeaders headers = *ReadPeHeaders(bytes);
    PeHeaders copy = headers;
    copy.sectionsEnd += growth;
    return UnsignedLayout::Of(bytes, headers)->Patches(copy);
}

TEST(UnsignedLayout, ClearsTheSecurityEntryAndMovesTheSymbolTableWithTheOverlay) {
    constexpr std::uint32_t kFourSymbols = 4 * 18;
    struct Case {
        const char* label;
        FileRange certificates;
        std::uint32_t symbols;
        std::uint32_t count;
        std::optional<std::uint32_t> strings;  // the string table's length field, if put
        std::uint32_t movedSymbols;
        std::uint32_t movedCount;
    };
    const FileRange atTheEnd{0x1800, 0x800};
    const Case cases[] = {
        {"stripped", atTheEnd, 0, 0, std::nullopt, 0, 0},
        {"after the sections", atTheEnd, 0x1010, 4, 4, 0x1210, 4},
        {"strings ending at the certificate table", atTheEnd, 0x1800 - kFourSymbols - 0x20, 4, 0x20,
         0x1800 - kFourSymbols - 0x20 + 0x200, 4},
        {"strings reaching into the certificate table", atTheEnd, 0x1800 - kFourSymbols - 0x20, 4,
         0x24, 0, 0},
        {"strings inside the certificate table", atTheEnd, 0x1800 - kFourSymbols, 4, std::nullopt,
         0, 0},
        {"symbols reaching into the certificate table", atTheEnd, 0x1800 - kFourSymbols, 5,
         std::nullopt, 0, 0},
        {"inside the sections the stamp rewrites", atTheEnd, 0x800, 4, 4, 0, 0},
        {"past the end", atTheEnd, 0x3000, 1, std::nullopt, 0, 0},
        {"strings longer than the file", {}, 0x1F00, 4, 0xFFFFFF00, 0x2100, 4},
        {"no room for the strings' length",
         {},
         0x2000 - kFourSymbols - 2,
         4,
         std::nullopt,
         0x2200 - kFourSymbols - 2,
         4},
        {"no strings at the file's end",
         {},
         0x2000 - kFourSymbols,
         4,
         std::nullopt,
         0x2200 - kFourSymbols,
         4},
    };
    for (const Case& c : cases) {
        FileBytes target = SignedFile(0x2000, c.certificates, c.symbols, c.count);
        if (c.certificates.size != 0) PutCertificate(target, 0x1800, 0x800);
        if (c.strings) PutU32(target, c.symbols + c.count * 18, *c.strings);
        const std::vector<HeaderPatch> patches = PatchesAfterGrowth(target, 0x200);
        auto valueAt = [&](std::uint64_t offset) -> std::optional<std::uint32_t> {
            for (const HeaderPatch& patch : patches) {
                if (patch.offset == offset) return patch.value;
            }
            return std::nullopt;
        };
        EXPECT_EQ(valueAt(kSecurityEntry), 0u) << c.label;
        EXPECT_EQ(valueAt(kSecurityEntry + 4), 0u) << c.label;
        EXPECT_EQ(valueAt(kSymbolTableField), c.movedSymbols) << c.label;
        EXPECT_EQ(valueAt(kSymbolTableField + 4), c.movedCount) << c.label;
    }
}

// A file much larger than memory: the headers are real, every other byte reads as 0xCC.
class HugeFile final : public RandomAccessFile {
public:
    HugeFile(FileBytes headers, std::uint64_t size) : headers_(std::move(headers)), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const override {
        if (offset > size_ || size > size_ - offset) return false;
        bytesRead += size;
        for (std::size_t i = 0; i < size; ++i) {
            out[i] = offset + i < headers_.size() ? headers_[offset + i] : 0xCC;
        }
        return true;
    }
    mutable std::uint64_t bytesRead = 0;

private:
    FileBytes headers_;
    std::uint64_t size_;
};

TEST(SectionDataEnd, ReadsOnlyTheHeadersOfAFileLargerThanFourGigabytes) {
    constexpr std::uint64_t kSize = 0x1'2000'0000;
    const HugeFile file(PeFile(0x400, {{0x400, 0x800}, {0xFFFF'F000, 0x1000}}), kSize);
    EXPECT_EQ(SectionDataEnd(file), 0x1'0000'0000u);
    EXPECT_LT(file.bytesRead, 0x400u);
}

}  // namespace
}  // namespace instdll
