#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace instdll {

// Files are streamed through a buffer of this size, whatever their own.
inline constexpr std::size_t kStreamChunkSize = std::size_t{1} << 20;

// A file's bytes, read where they are needed: the PE layout takes a few header fields, never
// the whole file.
class RandomAccessFile {
public:
    virtual std::uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; false when the file holds fewer or a read fails.
    virtual bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const = 0;

protected:
    RandomAccessFile() = default;
    RandomAccessFile(const RandomAccessFile&) = default;
    RandomAccessFile& operator=(const RandomAccessFile&) = default;
    ~RandomAccessFile() = default;
};

struct FileRange {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;

    std::uint64_t end() const { return offset + size; }
    bool operator==(const FileRange& other) const {
        return offset == other.offset && size == other.size;
    }
};

// The header fields of a PE file that name file offsets, and where they lie.
struct PeHeaders {
    // Where the headers and section data end. What follows is an overlay: data the loader
    // never maps, appended by self-extracting and installer files, and the certificate table.
    std::uint64_t sectionsEnd = 0;
    std::uint64_t checksumField = 0;
    // The security entry of the data directory (offset and size of the certificate table);
    // nullopt when the directory is too short to hold one.
    std::optional<std::uint64_t> securityEntryField;
    FileRange certificateTable;
    // The COFF symbol table of an unstripped file: pointer, then count.
    std::uint64_t symbolTableField = 0;
    std::uint32_t symbolTable = 0;
    std::uint32_t symbolCount = 0;
};

// nullopt when `file` is not a PE file, is cut short of its headers or sections, or cannot be
// read.
std::optional<PeHeaders> ReadPeHeaders(const RandomAccessFile& file);

// Where a PE file's headers and section data end; nullopt as for ReadPeHeaders.
std::optional<std::uint64_t> SectionDataEnd(const RandomAccessFile& file);

// The header checksum as signing tools compute it: 16-bit words summed with their carries,
// the checksum field itself left out, plus the file's length. Streamed in chunks.
std::optional<std::uint32_t> PeChecksum(const RandomAccessFile& file, std::uint64_t checksumField);

// A 32-bit little-endian header value to put at a file offset.
struct HeaderPatch {
    std::uint64_t offset = 0;
    std::uint32_t value = 0;
};

// What a copy of a file's headers and sections alone says before its stamp: no certificate
// table and no symbol table, which would lie past its end.
std::vector<HeaderPatch> SectionsOnlyPatches(const PeHeaders& headers);

// What a stamped copy keeps of a target past its sections, and what its headers then say.
// The certificate table goes: a stamp changes the signed bytes, and a signature that no longer
// matches them stops signing tools from signing the file again. Everything else is kept.
class UnsignedLayout {
public:
    // nullopt when the target cannot be read.
    static std::optional<UnsignedLayout> Of(const RandomAccessFile& target,
                                            const PeHeaders& headers);

    // The target's ranges after its sections that the copy keeps, in their order.
    const std::vector<FileRange>& KeptOverlay() const { return kept_; }
    std::uint64_t KeptOverlaySize() const;
    // The copy's header fields once its own sections end at `copySectionsEnd` and the kept
    // overlay follows them: no security entry, the symbol table moved with the overlay, or
    // cleared when it does not lie whole in what is kept, with the string table after it.
    std::vector<HeaderPatch> Patches(const PeHeaders& copy) const;

private:
    UnsignedLayout(const PeHeaders& target, std::uint64_t symbolBytes, std::vector<FileRange> kept)
        : target_(target), symbolBytes_(symbolBytes), kept_(std::move(kept)) {}
    std::optional<std::uint64_t> CopyOffset(std::uint64_t targetOffset, std::uint64_t size,
                                            std::uint64_t copySectionsEnd) const;

    PeHeaders target_;
    std::uint64_t symbolBytes_;  // the symbols and the string table after them
    std::vector<FileRange> kept_;
};

}  // namespace instdll
