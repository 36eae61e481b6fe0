#include "selftest/folders.h"

#include <windows.h>

namespace instdll::selftest {

void RemoveFolder(const std::string& path) {
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string full = path + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolder(full);
            } else {
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

}  // namespace instdll::selftest
