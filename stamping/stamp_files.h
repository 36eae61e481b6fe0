#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "module/system_function.h"
#include "stamping/pe_overlay.h"

namespace instdll {

using FindFirstStreamCall = HANDLE(WINAPI*)(const wchar_t*, STREAM_INFO_LEVELS, void*, DWORD);
using FindNextStreamCall = BOOL(WINAPI*)(HANDLE, void*);
using FindCloseCall = BOOL(WINAPI*)(HANDLE);

// The system's alternate data stream search: it arrived with Windows Server 2003 and Vista, and
// the 32-bit DLL still loads on XP. Null where it is absent.
FindFirstStreamCall SystemFindFirstStream();
FindNextStreamCall SystemFindNextStream();

// The file calls whose failures the stamping tests inject: a failing read or write, a full disk,
// a refused stream search, a refused delete.
struct FileCalls {
    std::function<BOOL(HANDLE, void*, DWORD, DWORD*, OVERLAPPED*)> readFile = ::ReadFile;
    std::function<BOOL(HANDLE, const void*, DWORD, DWORD*, OVERLAPPED*)> writeFile = ::WriteFile;
    // The stream search: empty where the system has none. Replaceable whole, so that tests can
    // hand the copy streams where the file system keeps none. The search handle carries what a
    // replacement needs to go on: plain pointers keep the shipped DLL lean.
    std::function<HANDLE(const wchar_t*, STREAM_INFO_LEVELS, void*, DWORD)> findFirstStream =
        SystemFindFirstStream();
    FindNextStreamCall findNextStream = SystemFindNextStream();
    FindCloseCall findClose = ::FindClose;
    std::function<BOOL(const char*)> deleteFile = ::DeleteFileA;
};

// Sole owner of one open file, read and written at explicit offsets.
class OpenFile final : public RandomAccessFile {
public:
    OpenFile(const std::string& path, DWORD access, DWORD share, const FileCalls& calls);
    // A path that may name an alternate data stream, whose name the code page may not hold.
    OpenFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
             const FileCalls& calls);
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() { Close(); }

    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Close();

    std::uint64_t Size() const override;  // 0 when unknown
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const override;
    bool WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
    std::optional<std::uint32_t> ReadU32At(std::uint64_t offset) const;  // little-endian
    bool WriteU32At(std::uint64_t offset, std::uint32_t value);
    bool SetCreationTime(const FILETIME& time);
    // Has the file deleted when its last handle closes; this handle needs DELETE access.
    bool MarkForDeletion();
    // Cuts or extends the file to `size` bytes and puts them on the disk.
    bool EndAndFlush(std::uint64_t size);

private:
    bool Seek(std::uint64_t offset) const;

    HANDLE handle_;
    const FileCalls& calls_;
};

// Copies `size` bytes from `source` at `from` to `destination` at `to`, a chunk at a time.
bool CopyBytes(const OpenFile& source, std::uint64_t from, OpenFile& destination, std::uint64_t to,
               std::uint64_t size);

// True when `a` at `aFrom` and `b` at `bFrom` hold the same `size` bytes.
bool SameBytes(const RandomAccessFile& a, std::uint64_t aFrom, const RandomAccessFile& b,
               std::uint64_t bFrom, std::uint64_t size);

// A new empty file beside `neighbour` (same directory, so same volume), deleted when its owner
// goes unless kept. No path when it could not be made.
class TemporaryFile {
public:
    TemporaryFile(const std::string& neighbour, const FileCalls& calls);
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile();

    const std::string& path() const { return path_; }
    // Opens the file for its own removal before it is given a security descriptor that may deny
    // this process the right to delete it by name: the access granted now is kept.
    bool HoldForRemoval();
    // The file has been moved into place: nothing left to delete.
    void Keep() { path_.clear(); }

private:
    std::string path_;
    const FileCalls& calls_;
    std::optional<OpenFile> remover_;
};

}  // namespace instdll
