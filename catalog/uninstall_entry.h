#pragma once

#include <string>

#include "text/ansi_text.h"

namespace instdll {

// What an uninstall command names, laid out as
//   <program> -f"<dir>\<log>.isu" <arguments> -c"<dir>\uninst.dll"
// with any one delimiter character in place of the quotation marks. A marker that is absent
// leaves its parts empty; the entry is catalogued all the same.
struct UninstallCommandParts {
    std::string LogDir;
    std::string LogFile;
    std::string UninstallArgs;
    std::string CustomDll;
};

UninstallCommandParts ParseUninstallCommand(const std::string& command,
                                            const AnsiCodePage& codePage);

// The catalogue key of an uninstall entry: its display name without the first "7.5" and the
// character after it, so that "Zk:Sample 7.5 Net" and the product subkey "Zk:Sample Net" meet.
std::string CatalogKeyOfDisplayName(const std::string& displayName, const AnsiCodePage& codePage);

}  // namespace instdll
