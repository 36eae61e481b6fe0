#include "stamping/stamp_files.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace instdll {
namespace {

// GetTempFileNameA takes the first three characters.
constexpr char kTemporaryPrefix[] = "zks";

DWORD ChunkFor(std::uint64_t remaining) {
    return static_cast<DWORD>(std::min<std::uint64_t>(remaining, kStreamChunkSize));
}

// Reads or writes all `size` bytes, however few each call moves; false when a call fails or
// moves nothing.
template <typename Call, typename Byte>
bool TransferAll(const Call& call, HANDLE handle, Byte* bytes, std::size_t size) {
    while (size > 0) {
        DWORD moved = 0;
        if (!call(handle, bytes, ChunkFor(size), &moved, nullptr) || moved == 0) return false;
        bytes += moved;
        size -= moved;
    }
    return true;
}

}  // namespace

OpenFile::OpenFile(const std::string& path, DWORD access, DWORD share, const FileCalls& calls)
    : handle_(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)),
      calls_(calls) {}

OpenFile::OpenFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                   const FileCalls& calls)
    : handle_(
          CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr)),
      calls_(calls) {}

void OpenFile::Close() {
    if (is_open()) CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
}

std::uint64_t OpenFile::Size() const {
    LARGE_INTEGER size{};
    return GetFileSizeEx(handle_, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

bool OpenFile::Seek(std::uint64_t offset) const {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN) != FALSE;
}

bool OpenFile::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const {
    return Seek(offset) && TransferAll(calls_.readFile, handle_, out, size);
}

bool OpenFile::WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    return Seek(offset) && TransferAll(calls_.writeFile, handle_, data, size);
}

std::optional<std::uint32_t> OpenFile::ReadU32At(std::uint64_t offset) const {
    std::uint8_t bytes[4] = {};
    if (!ReadAt(offset, bytes, sizeof bytes)) return std::nullopt;
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t{bytes[3]} << 24;
}

bool OpenFile::WriteU32At(std::uint64_t offset, std::uint32_t value) {
    const std::uint8_t bytes[] = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return WriteAt(offset, bytes, sizeof bytes);
}

bool OpenFile::SetCreationTime(const FILETIME& time) {
    return SetFileTime(handle_, &time, nullptr, nullptr) != FALSE;
}

bool OpenFile::MarkForDeletion() {
    // The system's own delete by handle, there since the first NT; the documented ones arrived
    // with Vista.
    struct IoStatusBlock {
        union {
            LONG status;
            void* pointer;
        };
        ULONG_PTR information;
    };
    using SetInformationFile = LONG(NTAPI*)(HANDLE, IoStatusBlock*, void*, ULONG, int);
    constexpr int kFileDispositionInformation = 13;
    const auto setInformation =
        SystemFunction<SetInformationFile>("ntdll.dll", "NtSetInformationFile");
    if (setInformation == nullptr) return false;
    IoStatusBlock status{};
    BOOLEAN deleteFile = TRUE;
    return setInformation(handle_, &status, &deleteFile, sizeof deleteFile,
                          kFileDispositionInformation) >= 0;
}

bool OpenFile::EndAndFlush(std::uint64_t size) {
    return Seek(size) && SetEndOfFile(handle_) && FlushFileBuffers(handle_);
}

bool CopyBytes(const OpenFile& source, std::uint64_t from, OpenFile& destination, std::uint64_t to,
               std::uint64_t size) {
    std::vector<std::uint8_t> chunk(ChunkFor(size));
    for (std::uint64_t done = 0; done < size;) {
        const DWORD length = ChunkFor(size - done);
        if (!source.ReadAt(from + done, chunk.data(), length) ||
            !destination.WriteAt(to + done, chunk.data(), length)) {
            return false;
        }
        done += length;
    }
    return true;
}

bool SameBytes(const RandomAccessFile& a, std::uint64_t aFrom, const RandomAccessFile& b,
               std::uint64_t bFrom, std::uint64_t size) {
    std::vector<std::uint8_t> chunkA(ChunkFor(size));
    std::vector<std::uint8_t> chunkB(chunkA.size());
    for (std::uint64_t done = 0; done < size;) {
        const DWORD length = ChunkFor(size - done);
        if (!a.ReadAt(aFrom + done, chunkA.data(), length) ||
            !b.ReadAt(bFrom + done, chunkB.data(), length) ||
            std::memcmp(chunkA.data(), chunkB.data(), length) != 0) {
            return false;
        }
        done += length;
    }
    return true;
}

TemporaryFile::TemporaryFile(const std::string& neighbour, const FileCalls& calls) : calls_(calls) {
    // The system cuts off the file name, knowing the code page's double-byte characters.
    char directory[MAX_PATH] = {};
    char* fileName = nullptr;
    const DWORD length = GetFullPathNameA(neighbour.c_str(), MAX_PATH, directory, &fileName);
    if (length == 0 || length >= MAX_PATH || fileName == nullptr) return;
    *fileName = '\0';
    char path[MAX_PATH] = {};
    if (GetTempFileNameA(directory, kTemporaryPrefix, 0, path) != 0) path_ = path;
}

bool TemporaryFile::HoldForRemoval() {
    // Shared for everything, so that the replace may still move the file.
    remover_.emplace(path_, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, calls_);
    return remover_->is_open();
}

TemporaryFile::~TemporaryFile() {
    if (path_.empty()) return;
    // Whatever attributes it was given on the way, they must not keep it from going.
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (remover_ && remover_->is_open() && remover_->MarkForDeletion()) return;
    calls_.deleteFile(path_.c_str());
}

}  // namespace instdll
