// Tells from a PE file itself, with the stamping code's own reader, whether it is well-formed,
// unsigned and carries its right header checksum: what a signing tool needs of a file before it
// signs it again. Signing tools word (or leave out) that verdict differently from version to
// version; the test scripts ask this instead.
// Usage: instdll_pe_check FILE. Prints "unsigned, checksum XXXXXXXX" and exits 0, or says what is
// wrong and exits 1.
#include <cstdio>
#include <fstream>
#include <string>

#include "stamping/pe_overlay.h"

namespace {

class StreamedFile final : public instdll::RandomAccessFile {
public:
    explicit StreamedFile(const char* path) : stream_(path, std::ios::binary) {
        if (stream_) {
            stream_.seekg(0, std::ios::end);
            size_ = static_cast<std::uint64_t>(stream_.tellg());
        }
    }
    bool IsOpen() const { return static_cast<bool>(stream_); }
    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const override {
        if (offset > size_ || size > size_ - offset) return false;
        stream_.clear();
        stream_.seekg(static_cast<std::streamoff>(offset));
        stream_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
        return stream_.gcount() == static_cast<std::streamsize>(size);
    }

private:
    mutable std::ifstream stream_;
    std::uint64_t size_ = 0;
};

int Fail(const char* path, const char* why) {
    std::fprintf(stderr, "pe-check: %s: %s\n", path, why);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: instdll_pe_check FILE\n");
        return 2;
    }
    const char* path = argv[1];
    const StreamedFile file(path);
    if (!file.IsOpen()) return Fail(path, "cannot be read");
    const auto headers = instdll::ReadPeHeaders(file);
    if (!headers) return Fail(path, "not a well-formed PE file");
    if (headers->certificateTable.offset != 0 || headers->certificateTable.size != 0) {
        return Fail(path, "its security directory still names a certificate table");
    }
    std::uint8_t stored[4];
    const auto computed = instdll::PeChecksum(file, headers->checksumField);
    if (!computed || !file.ReadAt(headers->checksumField, stored, sizeof stored)) {
        return Fail(path, "cannot be read");
    }
    std::uint32_t inHeader = 0;
    for (int i = 3; i >= 0; --i) inHeader = inHeader << 8 | stored[i];
    if (inHeader != *computed) {
        std::fprintf(stderr, "pe-check: %s: header checksum %08X, computed %08X\n", path, inHeader,
                     *computed);
        return 1;
    }
    std::printf("unsigned, checksum %08X\n", *computed);
    return 0;
}
