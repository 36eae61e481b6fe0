#include "utilities/user_params.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "text/ansi_text.h"
#include "utilities/pe_overlay.h"
#include "utilities/resource_file.h"
#include "utilities/small_utilities.h"

namespace instdll {
namespace {

// Sole owner of one file handle.
class FileHandle {
public:
    FileHandle(const std::string& path, DWORD access, DWORD disposition)
        : handle_(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (is_open()) CloseHandle(handle_);
    }

    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// The whole file, or nothing when it cannot be read whole.
FileBytes ReadWholeFile(const std::string& path) {
    const FileHandle file(path, GENERIC_READ, OPEN_EXISTING);
    LARGE_INTEGER size{};
    if (!file.is_open() || !GetFileSizeEx(file.get(), &size) || size.QuadPart > MAXDWORD) {
        return {};
    }
    FileBytes bytes(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size()) {
        return {};
    }
    return bytes;
}

// Replaces everything from `offset` on with `tail`.
void ReplaceTail(const std::string& path, std::size_t offset, const FileBytes& tail) {
    const FileHandle file(path, GENERIC_WRITE, OPEN_EXISTING);
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    DWORD written = 0;
    if (file.is_open() && SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN) &&
        WriteFile(file.get(), tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr)) {
        SetEndOfFile(file.get());
    }
}

// Sole owner of one resource update: discarded unless committed.
class ResourceUpdate {
public:
    ResourceUpdate(const std::string& path, bool replaceAll, const UserParamsCalls& calls)
        : handle_(BeginUpdateResourceA(path.c_str(), replaceAll ? TRUE : FALSE)),
          endUpdate_(calls.endUpdate) {}
    ResourceUpdate(const ResourceUpdate&) = delete;
    ResourceUpdate& operator=(const ResourceUpdate&) = delete;
    ~ResourceUpdate() {
        if (is_open()) endUpdate_(handle_, TRUE);
    }

    bool is_open() const { return handle_ != nullptr; }

    void Put(const Resource& resource) {
        UpdateResourceA(handle_, resource.type.get(), resource.name.get(), resource.language,
                        const_cast<char*>(resource.bytes.data()),
                        static_cast<DWORD>(resource.bytes.size()));
    }

    void PutParam(WORD name, const std::string& text) {
        const char* type = MAKEINTRESOURCEA(kRawDataType);
        const auto size = static_cast<DWORD>(text.size());
        if (!UpdateResourceA(handle_, type, MAKEINTRESOURCEA(name), kNeutralLanguage,
                             const_cast<char*>(text.c_str()), size) &&
            size == 0) {
            // Where a resource of length 0 is refused, delete the older value instead.
            UpdateResourceA(handle_, type, MAKEINTRESOURCEA(name), kNeutralLanguage, nullptr, 0);
        }
    }

    void Commit() { endUpdate_(std::exchange(handle_, nullptr), FALSE); }

private:
    HANDLE handle_;
    const std::function<BOOL(HANDLE, BOOL)>& endUpdate_;
};

bool IsParamResource(const Resource& resource, WORD name) {
    return resource.type.number == kRawDataType && resource.name.number == name &&
           resource.language == kNeutralLanguage;
}

// Wine's updater keeps a resource of the file that the update deleted; for an empty parameter
// the file is then rewritten with every resource except the stale one.
void DropStaleParams(const UserParamsCalls& calls, const std::string& target,
                     const std::vector<WORD>& emptyParams) {
    const std::vector<Resource> resources = ReadResources(target);
    auto isEmptyParam = [&](const Resource& resource) {
        return std::any_of(emptyParams.begin(), emptyParams.end(),
                           [&](WORD name) { return IsParamResource(resource, name); });
    };
    const bool stale = std::any_of(resources.begin(), resources.end(), [&](const Resource& r) {
        return isEmptyParam(r) && !r.bytes.empty();
    });
    if (!stale) return;
    ResourceUpdate update(target, true, calls);
    if (!update.is_open()) return;
    for (const Resource& resource : resources) {
        if (!isEmptyParam(resource)) update.Put(resource);
    }
    update.Commit();
}

std::vector<WORD> EmptyParams(const std::string& first, const std::string& second) {
    std::vector<WORD> empty;
    if (first.empty()) empty.push_back(kFirstParamResource);
    if (second.empty()) empty.push_back(kSecondParamResource);
    return empty;
}

}  // namespace

void StampUserParams(const UserParamsCalls& calls, const char* targetFile, const char* first,
                     const char* second) {
    const std::string target = ArgumentText(targetFile);
    const std::string firstParam = ArgumentText(first);
    const std::string secondParam = ArgumentText(second);
    calls.showMessage(nullptr, target.c_str(), firstParam.c_str(), MB_OK);

    // Windows' updater rewrites the file without what follows its sections; note it first.
    const FileBytes overlay = Overlay(ReadWholeFile(target));
    {
        ResourceUpdate update(target, false, calls);
        if (!update.is_open()) return;
        update.PutParam(kFirstParamResource, firstParam);
        update.PutParam(kSecondParamResource, secondParam);
        update.Commit();
    }
    DropStaleParams(calls, target, EmptyParams(firstParam, secondParam));
    if (const auto offset = OverlayRestoreOffset(ReadWholeFile(target), overlay)) {
        ReplaceTail(target, *offset, overlay);
    }
}

void StampUserParams(const char* targetFile, const char* first, const char* second) {
    StampUserParams(UserParamsCalls{}, targetFile, first, second);
}

}  // namespace instdll
