#include "catalog/uninstall_entry.h"

#include "catalog/split_path.h"

namespace instdll {
namespace {

constexpr char kLogOption[] = "-f";
constexpr char kLogExtension[] = ".isu";
constexpr char kCustomDllOption[] = "-c";
constexpr char kCustomDllName[] = "uninst.dll";
constexpr char kVersionText[] = "7.5";

constexpr int kNotFound = -1;

// Offsets that skip an option and the delimiter after it, or a name and the delimiter and
// blank after it. They are byte counts, as the command's layout is.
constexpr int kAfterOptionAndDelimiter = 3;
constexpr int kAfterLogPathAndDelimiterAndBlank = 6;

int ByteLength(const std::string& text) { return static_cast<int>(text.size()); }

// Where the character before `at` starts; one byte back could land on a trail byte.
int StartOfCharBefore(const std::string& text, int at, const AnsiCodePage& codePage) {
    if (at <= 0) return at - 1;
    return static_cast<int>(
        CharBoundaryAtOrBefore(text, static_cast<std::size_t>(at - 1), codePage));
}

std::string UninstallArgsBetween(const std::string& command, int logOption, int logExtension,
                                 int customDllOption, const AnsiCodePage& codePage) {
    if (customDllOption == kNotFound) return std::string();
    // The arguments stop before the blank (or whatever character) that precedes "-c".
    const int argumentsEnd = StartOfCharBefore(command, customDllOption, codePage);
    const int argumentsFrom = logExtension != kNotFound
                                  ? logExtension + kAfterLogPathAndDelimiterAndBlank
                                  : logOption + kAfterOptionAndDelimiter;
    return MidBytes(command, argumentsFrom, argumentsEnd - argumentsFrom);
}

}  // namespace

UninstallCommandParts ParseUninstallCommand(const std::string& command,
                                            const AnsiCodePage& codePage) {
    const int f = FindAtCharBoundary(command, kLogOption, codePage);
    const int i = FindAtCharBoundary(command, kLogExtension, codePage);
    const int c = FindAtCharBoundary(command, kCustomDllOption, codePage);
    const int u = FindAtCharBoundary(command, kCustomDllName, codePage);

    UninstallCommandParts parts;
    if (f != kNotFound && i != kNotFound) {
        const int logPathFrom = f + kAfterOptionAndDelimiter;
        const int logPathEnd = i + ByteLength(kLogExtension);
        PathParts logPath =
            SplitPath(MidBytes(command, logPathFrom, logPathEnd - logPathFrom), codePage);
        parts.LogDir = std::move(logPath.directory);
        parts.LogFile = std::move(logPath.file);
    }
    if (c != kNotFound && u != kNotFound) {
        const int dllFrom = c + kAfterOptionAndDelimiter;
        const int dllEnd = u + ByteLength(kCustomDllName);
        parts.CustomDll = MidBytes(command, dllFrom, dllEnd - dllFrom);
    }
    parts.UninstallArgs = UninstallArgsBetween(command, f, i, c, codePage);
    return parts;
}

std::string CatalogKeyOfDisplayName(const std::string& displayName, const AnsiCodePage& codePage) {
    const int w = FindAtCharBoundary(displayName, kVersionText, codePage);
    if (w == kNotFound) return displayName;
    // The blank or other character after the version goes with it, both its bytes if it has two.
    const int afterVersion = w + ByteLength(kVersionText);
    const int cutLength = ByteLength(kVersionText) +
                          static_cast<int>(CharLengthAt(
                              displayName, static_cast<std::size_t>(afterVersion), codePage));
    return LeftBytes(displayName, w) +
           RightBytes(displayName, ByteLength(displayName) - w - cutLength);
}

}  // namespace instdll
