#pragma once

#include <windows.h>

#include <string>

#include "include/InstDLL.h"

namespace instdll::testing {

// The ten exports, resolved by name as a setup program resolves them.
struct InstDllExports {
    decltype(&::CheckPrivileges) CheckPrivileges = nullptr;
    decltype(&::FindISUInCatalog) FindISUInCatalog = nullptr;
    decltype(&::InitV7Info) InitV7Info = nullptr;
    decltype(&::RegDBAddToTitles) RegDBAddToTitles = nullptr;
    decltype(&::RegDBDeleteValue) RegDBDeleteValue = nullptr;
    decltype(&::RemoveAllInCatExcept) RemoveAllInCatExcept = nullptr;
    decltype(&::SelectCatalog) SelectCatalog = nullptr;
    decltype(&::SelectCatalogEng) SelectCatalogEng = nullptr;
    decltype(&::SelectCatalogUkr) SelectCatalogUkr = nullptr;
    decltype(&::WriteUserParams) WriteUserParams = nullptr;
};

// InstDLL.dll loaded with LoadLibraryA for as long as the object lives: by name, found beside
// the program as a setup finds it, or from `path`.
class LoadedInstDll {
public:
    explicit LoadedInstDll(const std::string& path = "InstDLL.dll");
    LoadedInstDll(const LoadedInstDll&) = delete;
    LoadedInstDll& operator=(const LoadedInstDll&) = delete;
    ~LoadedInstDll();

    bool loaded() const { return module_ != nullptr; }
    // Every export resolved; false names the first missing one in `missing`.
    bool ResolveAll(std::string* missing);
    const InstDllExports& exports() const { return exports_; }
    HMODULE module() const { return module_; }

private:
    HMODULE module_ = nullptr;
    InstDllExports exports_;
};

// Wine does not count a process's handles, but it hands out the lowest free slot: a handle
// leaked since a probe makes the next probe's value differ.
HKEY ProbeHandle();
// Handles opened since `probe` and still open.
long HandlesLeftSince(HKEY probe);

}  // namespace instdll::testing
