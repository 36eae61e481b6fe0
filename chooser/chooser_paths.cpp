#include "chooser/chooser_paths.h"

#include <cstdint>
#include <cstring>

namespace instdll {
namespace {

// The last character of `text` is the single byte `c`, not the trail byte of a double-byte one.
bool EndsWithChar(const std::string& text, char c, const AnsiCodePage& codePage) {
    if (text.empty() || text.back() != c) return false;
    const std::size_t last = text.size() - 1;
    return CharBoundaryAtOrBefore(text, last, codePage) == last;
}

// The folder a path names, spelled without its trailing separators, so that "C:\A\" and
// "C:\A" compare as the one folder they are.
std::string WithoutTrailingSeparators(std::string path, const AnsiCodePage& codePage) {
    while (EndsWithChar(path, '\\', codePage) || EndsWithChar(path, '/', codePage)) path.pop_back();
    return path;
}

}  // namespace

std::string FolderPathFromReply(long long reply, const char* buffer) {
    if (static_cast<std::uint32_t>(reply) > kPathBufferSize || buffer == nullptr) return {};
    const void* end = std::memchr(buffer, '\0', kPathBufferSize);
    const std::size_t length =
        end == nullptr ? kPathBufferSize
                       : static_cast<std::size_t>(static_cast<const char*>(end) - buffer);
    return {buffer, length};
}

std::string ProposedPath(const char* buffer, const AnsiCodePage& codePage) {
    if (buffer == nullptr) return {};
    // A caller that forgot the terminating zero gets the whole characters that fit with one.
    const std::string text(buffer, strnlen(buffer, kPathBufferSize));
    return text.substr(0, CharBoundaryAtOrBefore(text, kPathBufferSize - 1, codePage));
}

std::string JoinDirectoryListItems(const std::vector<std::string>& items,
                                   const AnsiCodePage& codePage) {
    std::string path;
    for (const auto& item : items) {
        path += item;
        if (!EndsWithChar(path, '\\', codePage)) path += '\\';
    }
    return path;
}

bool IsUsableChoice(const std::string& path) {
    return !path.empty() && path.size() < kPathBufferSize;
}

SelectionOutcome DecideSelection(bool selectPressed, bool createdProposed,
                                 const std::string& proposed, const std::string& chosen,
                                 const AnsiCodePage& codePage) {
    if (selectPressed && IsUsableChoice(chosen)) {
        const bool sameFolder = codePage.EqualNoCase(WithoutTrailingSeparators(proposed, codePage),
                                                     WithoutTrailingSeparators(chosen, codePage));
        return {!sameFolder, true, 1};
    }
    return {createdProposed, false, 0};
}

}  // namespace instdll
