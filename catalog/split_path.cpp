#include "catalog/split_path.h"

namespace instdll {
namespace {

constexpr std::size_t kDriveLength = 2;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

PathParts SplitPath(const std::string& path, const AnsiCodePage& codePage) {
    const std::size_t examinedFrom =
        path.size() >= kDriveLength && path[1] == ':' ? kDriveLength : 0;
    std::size_t fileFrom = examinedFrom;
    for (std::size_t at = examinedFrom; at < path.size();) {
        const std::size_t length = CharLengthAt(path, at, codePage);
        if (length == 1 && IsSeparator(path[at])) fileFrom = at + 1;
        at += length;
    }
    return {path.substr(0, fileFrom), path.substr(fileFrom)};
}

}  // namespace instdll
