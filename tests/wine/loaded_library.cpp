#include "tests/wine/loaded_library.h"

#include <cstdint>

namespace instdll::testing {
namespace {

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function* target, std::string* missing) {
    *target = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (*target == nullptr && missing->empty()) *missing = name;
    return *target != nullptr;
}

}  // namespace

LoadedInstDll::LoadedInstDll(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}

LoadedInstDll::~LoadedInstDll() {
    if (module_ != nullptr) FreeLibrary(module_);
}

bool LoadedInstDll::ResolveAll(std::string* missing) {
    missing->clear();
    if (module_ == nullptr) {
        *missing = "InstDLL.dll";
        return false;
    }
    auto& e = exports_;
    bool all = Resolve(module_, "CheckPrivileges", &e.CheckPrivileges, missing);
    all &= Resolve(module_, "FindISUInCatalog", &e.FindISUInCatalog, missing);
    all &= Resolve(module_, "InitV7Info", &e.InitV7Info, missing);
    all &= Resolve(module_, "RegDBAddToTitles", &e.RegDBAddToTitles, missing);
    all &= Resolve(module_, "RegDBDeleteValue", &e.RegDBDeleteValue, missing);
    all &= Resolve(module_, "RemoveAllInCatExcept", &e.RemoveAllInCatExcept, missing);
    all &= Resolve(module_, "SelectCatalog", &e.SelectCatalog, missing);
    all &= Resolve(module_, "SelectCatalogEng", &e.SelectCatalogEng, missing);
    all &= Resolve(module_, "SelectCatalogUkr", &e.SelectCatalogUkr, missing);
    all &= Resolve(module_, "WriteUserParams", &e.WriteUserParams, missing);
    return all;
}

HKEY ProbeHandle() {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key);
    RegCloseKey(key);
    return key;
}

long HandlesLeftSince(HKEY probe) {
    // Handle values step by 4.
    return static_cast<long>(
        (reinterpret_cast<std::intptr_t>(ProbeHandle()) - reinterpret_cast<std::intptr_t>(probe)) /
        4);
}

}  // namespace instdll::testing
