#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace instdll {

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

// Where a PE file's headers and section data end. What follows is an overlay: data the loader
// never maps, appended by self-extracting and installer files. nullopt when `file` is not a PE
// file, is cut short of its headers or sections, or cannot be read.
std::optional<std::uint64_t> SectionDataEnd(const RandomAccessFile& file);

}  // namespace instdll
