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
