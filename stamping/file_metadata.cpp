#include "stamping/file_metadata.h"

#include <cwchar>
#include <vector>

namespace instdll {
namespace {

constexpr SECURITY_INFORMATION kOwnerGroupAndDacl =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
constexpr wchar_t kMainStream[] = L"::$DATA";

// A zero-terminated UTF-16 path. Not std::wstring, whose prebuilt runtime copy would outweigh
// the rest of the DLL's stamping.
using WidePath = std::vector<wchar_t>;

// Sole owner of one stream search.
class StreamSearch {
public:
    StreamSearch(const FileCalls& calls, const WidePath& path, WIN32_FIND_STREAM_DATA& first)
        : calls_(calls),
          handle_(calls.findFirstStream(path.data(), FindStreamInfoStandard, &first, 0)) {}
    StreamSearch(const StreamSearch&) = delete;
    StreamSearch& operator=(const StreamSearch&) = delete;
    ~StreamSearch() {
        if (is_open()) calls_.findClose(handle_);
    }

    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Next(WIN32_FIND_STREAM_DATA& stream) {
        return calls_.findNextStream(handle_, &stream) != FALSE;
    }

private:
    const FileCalls& calls_;
    HANDLE handle_;
};

// What a search that found nothing answers: no streams (38), or a file system that keeps
// none, which the system reports as 87 and some file systems as 1. Anything else is a failure
// that would lose the target's streams.
bool MeansNoStreams(DWORD error) {
    return error == ERROR_HANDLE_EOF || error == ERROR_INVALID_PARAMETER ||
           error == ERROR_INVALID_FUNCTION;
}

// Stream names need not fit the ANSI code page, so streams are named in UTF-16. Empty when the
// path cannot be converted.
WidePath WidePathOf(const std::string& path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 1) return {};
    WidePath wide(static_cast<std::size_t>(length));
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length) != length) return {};
    return wide;
}

WidePath StreamOf(const WidePath& file, const wchar_t* stream) {
    WidePath path(file.begin(), file.end() - 1);
    path.insert(path.end(), stream, stream + std::wcslen(stream) + 1);
    return path;
}

bool CopyStream(const WidePath& from, const WidePath& to, const FileCalls& calls) {
    const OpenFile source(from.data(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, calls);
    OpenFile destination(to.data(), GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, calls);
    const std::uint64_t size = source.Size();
    return source.is_open() && destination.is_open() &&
           CopyBytes(source, 0, destination, 0, size) && destination.EndAndFlush(size);
}

bool CopyStreams(const std::string& from, const std::string& to, const FileCalls& calls) {
    const WidePath source = WidePathOf(from);
    const WidePath destination = WidePathOf(to);
    if (source.empty() || destination.empty()) return false;
    // XP: its files keep no streams through a stamp.
    if (!calls.findFirstStream || calls.findNextStream == nullptr) return true;
    WIN32_FIND_STREAM_DATA stream{};
    StreamSearch search(calls, source, stream);
    if (!search.is_open()) return MeansNoStreams(GetLastError());
    do {
        if (std::wcscmp(stream.cStreamName, kMainStream) != 0 &&
            !CopyStream(StreamOf(source, stream.cStreamName),
                        StreamOf(destination, stream.cStreamName), calls)) {
            return false;
        }
    } while (search.Next(stream));
    return GetLastError() == ERROR_HANDLE_EOF;
}

bool CopyCreationTime(const std::string& from, const std::string& to, const FileCalls& calls) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(from.c_str(), GetFileExInfoStandard, &data)) return false;
    OpenFile file(to, FILE_WRITE_ATTRIBUTES, 0, calls);
    return file.is_open() && file.SetCreationTime(data.ftCreationTime);
}

std::vector<char> SecurityDescriptorOf(const std::string& path) {
    DWORD needed = 0;
    GetFileSecurityA(path.c_str(), kOwnerGroupAndDacl, nullptr, 0, &needed);
    if (needed == 0) return {};
    std::vector<char> descriptor(needed);
    if (!GetFileSecurityA(path.c_str(), kOwnerGroupAndDacl, descriptor.data(), needed, &needed)) {
        return {};
    }
    return descriptor;
}

bool CopySecurity(const std::string& from, const std::string& to) {
    std::vector<char> descriptor = SecurityDescriptorOf(from);
    if (descriptor.empty()) return true;
    return SetFileSecurityA(to.c_str(), kOwnerGroupAndDacl, descriptor.data()) ||
           SetFileSecurityA(to.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
}

}  // namespace

FindFirstStreamCall SystemFindFirstStream() {
    return SystemFunction<FindFirstStreamCall>("kernel32.dll", "FindFirstStreamW");
}

FindNextStreamCall SystemFindNextStream() {
    return SystemFunction<FindNextStreamCall>("kernel32.dll", "FindNextStreamW");
}

bool CopyFileMetadata(const std::string& from, TemporaryFile& to, const FileCalls& calls) {
    // The security comes last: the target's DACL may not let this process write the copy, nor
    // delete it by name should the replace fail.
    return CopyStreams(from, to.path(), calls) && CopyCreationTime(from, to.path(), calls) &&
           to.HoldForRemoval() && CopySecurity(from, to.path());
}

}  // namespace instdll
