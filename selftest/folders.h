#pragma once

#include <string>

namespace instdll::selftest {

// Removes `path` and everything in it, read-only files included; a missing folder is no error.
void RemoveFolder(const std::string& path);

}  // namespace instdll::selftest
