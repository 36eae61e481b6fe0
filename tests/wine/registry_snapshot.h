#pragma once

#include <windows.h>

#include <string>

namespace instdll::testing {

// Every key and value under root\path, one line each, in enumeration order: two snapshots
// compare equal exactly when nothing below changed. A missing key gives "".
std::string SnapshotTree(HKEY root, const std::string& path);

// Removes root\path with everything below it; a missing key is no error.
void DeleteTree(HKEY root, const std::string& path);

}  // namespace instdll::testing
