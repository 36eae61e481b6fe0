#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace instdll::selftest {

// A key of the product family's, as this program's registry view names it.
struct FamilyKey {
    HKEY root;
    std::wstring path;
};

// The family's keys that exist: the product key's family, the uninstall list's entries with the
// family's prefix, the user's key with the titles, and virtualised copies of the machine's
// family key that a setup without elevation left in the user's VirtualStore.
std::vector<FamilyKey> FamilyKeysPresent();

// Removes every key FamilyKeysPresent names, with all below it; false when one stays.
bool RemoveFamilyKeys();

// "HKEY_LOCAL_MACHINE\..." or "HKEY_CURRENT_USER\...", as a .reg file names a key.
std::wstring RootedPath(const FamilyKey& key);

// Removes root\path with everything below it; a missing key counts as removed. Written for
// Windows XP, which lacks RegDeleteTree.
bool DeleteKeyTree(HKEY root, const std::wstring& path);

}  // namespace instdll::selftest
