#include "chooser/chooser_paths.h"

#include <cstdint>
#include <cstring>

namespace instdll {
namespace {

// A backslash that is a character of its own, not the trail byte of a double-byte one.
bool EndsWithBackslash(const std::string& text, const AnsiCodePage& codePage) {
    bool lastIsBackslash = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        lastIsBackslash = byte == '\\';
        if (codePage.IsLeadByte(byte)) {
            ++i;
            lastIsBackslash = false;
        }
    }
    return lastIsBackslash;
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

std::string JoinDirectoryListItems(const std::vector<std::string>& items,
                                   const AnsiCodePage& codePage) {
    std::string path;
    for (const auto& item : items) {
        path += item;
        if (!EndsWithBackslash(path, codePage)) path += '\\';
    }
    return path;
}

bool IsUsableChoice(const std::string& path) {
    return !path.empty() && path.size() < kPathBufferSize;
}

SelectionOutcome DecideSelection(bool selectPressed, bool createdProposed,
                                 const std::string& proposed, const std::string& chosen,
                                 const AnsiCodePage& codePage) {
    if (selectPressed && IsUsableChoice(chosen))
        return {!codePage.EqualNoCase(proposed, chosen), true, 1};
    return {createdProposed, false, 0};
}

}  // namespace instdll
