#include "utilities/user_params.h"

#include <string>
#include <utility>

#include "text/ansi_text.h"
#include "utilities/pe_overlay.h"
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
    ResourceUpdate(const std::string& path, const UserParamsCalls& calls)
        : handle_(BeginUpdateResourceA(path.c_str(), FALSE)), endUpdate_(calls.endUpdate) {}
    ResourceUpdate(const ResourceUpdate&) = delete;
    ResourceUpdate& operator=(const ResourceUpdate&) = delete;
    ~ResourceUpdate() {
        if (is_open()) endUpdate_(handle_, TRUE);
    }

    bool is_open() const { return handle_ != nullptr; }

    void Put(WORD name, const std::string& bytes) {
        const DWORD size = static_cast<DWORD>(bytes.size());
        if (!Update(name, const_cast<char*>(bytes.c_str()), size) && size == 0) {
            // Where a resource of length 0 is refused, deleting it still leaves no older value.
            Update(name, nullptr, 0);
        }
    }

    void Commit() { endUpdate_(std::exchange(handle_, nullptr), FALSE); }

  private:
    BOOL Update(WORD name, void* data, DWORD size) {
        return UpdateResourceA(handle_, MAKEINTRESOURCEA(kRawDataType), MAKEINTRESOURCEA(name),
                               kNeutralLanguage, data, size);
    }

    HANDLE handle_;
    const std::function<BOOL(HANDLE, BOOL)>& endUpdate_;
};

}  // namespace

void StampUserParams(const UserParamsCalls& calls, const char* targetFile, const char* first,
                     const char* second) {
    const std::string target = ArgumentText(targetFile);
    const std::string firstParam = ArgumentText(first);
    calls.showMessage(nullptr, target.c_str(), firstParam.c_str(), MB_OK);

    // Windows' updater rewrites the file without what follows its sections; note it first.
    const FileBytes overlay = Overlay(ReadWholeFile(target));
    ResourceUpdate update(target, calls);
    if (!update.is_open()) return;
    update.Put(kFirstParamResource, firstParam);
    update.Put(kSecondParamResource, ArgumentText(second));
    update.Commit();
    if (const auto offset = OverlayRestoreOffset(ReadWholeFile(target), overlay)) {
        ReplaceTail(target, *offset, overlay);
    }
}

void StampUserParams(const char* targetFile, const char* first, const char* second) {
    StampUserParams(UserParamsCalls{}, targetFile, first, second);
}

}  // namespace instdll
