// The uninstall command, display name and path cuts on arbitrary text. The first byte picks the
// code page; every part cut out must be a piece of the input, and the path split must lose and
// invent nothing.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "catalog/split_path.h"
#include "catalog/uninstall_entry.h"
#include "text/host_code_page.h"
#include "text/utf8.h"

namespace {

using namespace instdll;

void Require(bool condition) {
    if (!condition) std::abort();
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsPieceOf(const std::string& piece, const std::string& text) {
    return text.find(piece) != std::string::npos;
}

void CheckSplit(const std::string& path, const AnsiCodePage& codePage) {
    const PathParts parts = SplitPath(path, codePage);
    Require(parts.directory + parts.file == path);
    // Splitting the file part again finds no further separator.
    if (parts.file.size() < 2 || parts.file[1] != ':') {
        Require(SplitPath(parts.file, codePage).directory.empty());
    }
}

void CheckCommand(const std::string& command, const AnsiCodePage& codePage) {
    const UninstallCommandParts parts = ParseUninstallCommand(command, codePage);
    const std::string logPath = parts.LogDir + parts.LogFile;
    // A marker may overlap the delimiter after its option ("-f.isu"), so only its tail is sure.
    Require(logPath.empty() || (EndsWith(logPath, "isu") && IsPieceOf(logPath, command)));
    Require(parts.CustomDll.empty() ||
            (EndsWith(parts.CustomDll, "ninst.dll") && IsPieceOf(parts.CustomDll, command)));
    Require(IsPieceOf(parts.UninstallArgs, command));
    Require(parts.UninstallArgs.empty() || IsPieceOf("-c", command));
}

void CheckDisplayName(const std::string& displayName, const AnsiCodePage& codePage) {
    const std::string key = CatalogKeyOfDisplayName(displayName, codePage);
    Require(key == displayName || key.size() + 3 <= displayName.size());
    // The character after the version goes whole, so UTF-8 text stays UTF-8.
    Require(!codePage.IsUtf8() || !IsWellFormedUtf8(displayName) || IsWellFormedUtf8(key));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const HostCodePage codePages[] = {HostCodePage(1252), HostCodePage(932),
                                             HostCodePage(65001)};
    if (size == 0) return 0;
    const AnsiCodePage& codePage = codePages[data[0] % 3];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    CheckSplit(text, codePage);
    CheckCommand(text, codePage);
    CheckDisplayName(text, codePage);
    return 0;
}
