#include "stamping/user_params.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "stamping/file_metadata.h"
#include "stamping/pe_overlay.h"
#include "stamping/resource_file.h"
#include "text/ansi_text.h"

namespace instdll {
namespace {

struct UserParams {
    std::string first;
    std::string second;
};

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

    bool Commit() { return endUpdate_(std::exchange(handle_, nullptr), FALSE) != FALSE; }

private:
    HANDLE handle_;
    const std::function<BOOL(HANDLE, BOOL)>& endUpdate_;
};

bool IsParamResource(const Resource& resource, WORD name) {
    return resource.type.number == kRawDataType && resource.name.number == name &&
           resource.language == kNeutralLanguage;
}

std::vector<WORD> EmptyParams(const UserParams& params) {
    std::vector<WORD> empty;
    if (params.first.empty()) empty.push_back(kFirstParamResource);
    if (params.second.empty()) empty.push_back(kSecondParamResource);
    return empty;
}

// Wine's updater keeps a resource of the file that the update deleted; for an empty parameter
// the file is then rewritten with every resource except the stale one.
bool DropStaleParams(const UserParamsCalls& calls, const std::string& path,
                     const UserParams& params) {
    const std::vector<WORD> emptyParams = EmptyParams(params);
    const std::vector<Resource> resources = ReadResources(path);
    auto isEmptyParam = [&](const Resource& resource) {
        return std::any_of(emptyParams.begin(), emptyParams.end(),
                           [&](WORD name) { return IsParamResource(resource, name); });
    };
    const bool stale = std::any_of(resources.begin(), resources.end(), [&](const Resource& r) {
        return isEmptyParam(r) && !r.bytes.empty();
    });
    if (!stale) return true;
    ResourceUpdate update(path, true, calls);
    if (!update.is_open()) return false;
    for (const Resource& resource : resources) {
        if (!isEmptyParam(resource)) update.Put(resource);
    }
    return update.Commit();
}

bool PutParams(const UserParamsCalls& calls, const std::string& path, const UserParams& params) {
    {
        ResourceUpdate update(path, false, calls);
        if (!update.is_open()) return false;
        update.PutParam(kFirstParamResource, params.first);
        update.PutParam(kSecondParamResource, params.second);
        if (!update.Commit()) return false;
    }
    return DropStaleParams(calls, path, params);
}

// An empty parameter is a resource of length 0 where the platform keeps one, else none.
bool HoldsParams(const std::string& path, const UserParams& params) {
    const std::vector<Resource> resources = ReadResources(path);
    auto holds = [&](WORD name, const std::string& text) {
        const auto found = std::find_if(resources.begin(), resources.end(), [&](const Resource& r) {
            return IsParamResource(r, name);
        });
        return found == resources.end() ? text.empty() : found->bytes == text;
    };
    return holds(kFirstParamResource, params.first) && holds(kSecondParamResource, params.second);
}

bool WritePatches(OpenFile& file, const std::vector<HeaderPatch>& patches) {
    return std::all_of(patches.begin(), patches.end(), [&](const HeaderPatch& patch) {
        return file.WriteU32At(patch.offset, patch.value);
    });
}

// Copies the target's headers and sections, nothing after them: the resource updater then
// never reads or maps the overlay, however large, nor meets header offsets past the copy's end.
bool CopySections(const UserParamsCalls& calls, const OpenFile& target, const PeHeaders& headers,
                  const std::string& copyPath) {
    OpenFile copy(copyPath, GENERIC_READ | GENERIC_WRITE, 0, calls.files);
    return copy.is_open() && CopyBytes(target, 0, copy, 0, headers.sectionsEnd) &&
           WritePatches(copy, SectionsOnlyPatches(headers)) &&
           copy.EndAndFlush(headers.sectionsEnd);
}

// Puts what the copy keeps of the target's overlay after the stamped copy's sections.
bool AppendOverlay(const OpenFile& target, const UnsignedLayout& layout,
                   const PeHeaders& copyHeaders, OpenFile& copy) {
    std::uint64_t to = copyHeaders.sectionsEnd;
    for (const FileRange& piece : layout.KeptOverlay()) {
        if (!CopyBytes(target, piece.offset, copy, to, piece.size)) return false;
        to += piece.size;
    }
    return copy.EndAndFlush(to);
}

// No certificate table, header offsets that match the new layout, and the checksum over it.
bool WriteUnsignedHeaders(const UnsignedLayout& layout, const PeHeaders& copyHeaders,
                          OpenFile& copy) {
    if (!WritePatches(copy, layout.Patches(copyHeaders))) return false;
    const auto checksum = PeChecksum(copy, copyHeaders.checksumField);
    return checksum && copy.WriteU32At(copyHeaders.checksumField, *checksum) &&
           copy.EndAndFlush(copy.Size());
}

bool HoldsPatches(const OpenFile& copy, const std::vector<HeaderPatch>& patches) {
    return std::all_of(patches.begin(), patches.end(), [&](const HeaderPatch& patch) {
        return copy.ReadU32At(patch.offset) == patch.value;
    });
}

bool HoldsItsChecksum(const OpenFile& copy, const PeHeaders& headers) {
    const auto checksum = PeChecksum(copy, headers.checksumField);
    return checksum && copy.ReadU32At(headers.checksumField) == *checksum;
}

// Checks, before the copy replaces the target, that its sections still end where the stamp
// left them, that it carries no certificate table and the expected header offsets, that its
// checksum is right and that what it kept of the overlay is the target's, byte for byte.
bool VerifyCopy(const OpenFile& target, const UnsignedLayout& layout,
                const PeHeaders& stampedHeaders, const OpenFile& copy) {
    const auto headers = ReadPeHeaders(copy);
    if (!headers || headers->sectionsEnd != stampedHeaders.sectionsEnd ||
        copy.Size() != headers->sectionsEnd + layout.KeptOverlaySize() ||
        headers->certificateTable.size != 0 || headers->certificateTable.offset != 0 ||
        !HoldsPatches(copy, layout.Patches(*headers)) || !HoldsItsChecksum(copy, *headers)) {
        return false;
    }
    std::uint64_t at = headers->sectionsEnd;
    for (const FileRange& piece : layout.KeptOverlay()) {
        if (!SameBytes(target, piece.offset, copy, at, piece.size)) return false;
        at += piece.size;
    }
    return true;
}

bool FinishCopy(const UserParamsCalls& calls, const OpenFile& target, const UnsignedLayout& layout,
                const std::string& copyPath) {
    OpenFile copy(copyPath, GENERIC_READ | GENERIC_WRITE, 0, calls.files);
    if (!copy.is_open()) return false;
    const auto stampedHeaders = ReadPeHeaders(copy);
    return stampedHeaders && AppendOverlay(target, layout, *stampedHeaders, copy) &&
           WriteUnsignedHeaders(layout, *stampedHeaders, copy) &&
           VerifyCopy(target, layout, *stampedHeaders, copy);
}

// Runs one step and tells `report` how it ended. The error code is cleared first only for a
// report, so that a check failing on its own does not show an older call's code.
template <typename Step>
bool RunStep(StampReport* report, StampStep step, Step&& work) {
    if (report != nullptr) SetLastError(ERROR_SUCCESS);
    const bool done = work();
    if (report != nullptr) report->StepEnded(step, done, done ? 0 : GetLastError());
    return done;
}

// Steps: copy the sections, stamp and check the parameters, append the overlay without the
// certificate table and verify the copy, give it the target's metadata, replace the target.
void StampThroughCopy(const UserParamsCalls& calls, const std::string& targetPath,
                      const UserParams& params, StampReport* report) {
    std::optional<OpenFile> opened;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    std::optional<PeHeaders> headers;
    std::optional<UnsignedLayout> layout;
    const bool readable = RunStep(report, StampStep::Open, [&] {
        // Opened for writing, though only read: a target that is read-only or in use fails here.
        opened.emplace(targetPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, calls.files);
        if (!opened->is_open()) return false;
        attributes = GetFileAttributesA(targetPath.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return false;
        // Wine run by root opens a read-only file for writing all the same; Windows never does.
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        headers = ReadPeHeaders(*opened);
        if (headers) layout = UnsignedLayout::Of(*opened, *headers);
        return layout.has_value();
    });
    if (!readable) return;
    OpenFile& target = *opened;
    TemporaryFile copy(targetPath, calls.files);
    // The resources are checked before the overlay follows them: loading a file as data maps
    // all of it, more address space than a 32-bit process may have for a large overlay.
    if (!RunStep(report, StampStep::Copy,
                 [&] {
                     return !copy.path().empty() &&
                            CopySections(calls, target, *headers, copy.path());
                 }) ||
        !RunStep(report, StampStep::Stamp, [&] { return PutParams(calls, copy.path(), params); }) ||
        !RunStep(report, StampStep::Verify, [&] { return HoldsParams(copy.path(), params); }) ||
        !RunStep(report, StampStep::Overlay,
                 [&] { return FinishCopy(calls, target, *layout, copy.path()); }) ||
        !RunStep(report, StampStep::Metadata,
                 [&] { return CopyFileMetadata(targetPath, copy, calls.files); })) {
        return;
    }
    target.Close();
    if (RunStep(report, StampStep::Replace, [&] {
            return SetFileAttributesA(copy.path().c_str(), attributes) &&
                   calls.moveFile(copy.path().c_str(), targetPath.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        })) {
        copy.Keep();
    }
}

}  // namespace

void StampUserParams(const UserParamsCalls& calls, const char* targetFile, const char* first,
                     const char* second, StampReport* report) {
    const std::string target = ArgumentText(targetFile);
    const UserParams params{ArgumentText(first), ArgumentText(second)};
    calls.showMessage(nullptr, target.c_str(), params.first.c_str(), MB_OK);
    StampThroughCopy(calls, target, params, report);
}

void StampUserParams(const char* targetFile, const char* first, const char* second,
                     StampReport* report) {
    StampUserParams(UserParamsCalls{}, targetFile, first, second, report);
}

}  // namespace instdll
