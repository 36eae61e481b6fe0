#include "utilities/resource_file.h"

namespace instdll {
namespace {

ResourceId IdOf(const char* id) {
    if (IS_INTRESOURCE(id)) return {static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id)), {}};
    return {0, id};
}

BOOL CALLBACK AddLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language,
                          LONG_PTR resources) {
    const HRSRC found = FindResourceExA(module, type, name, language);
    const DWORD size = SizeofResource(module, found);
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    reinterpret_cast<std::vector<Resource>*>(resources)->push_back(
        {IdOf(type), IdOf(name), language,
         data == nullptr ? std::string() : std::string(data, size)});
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR resources) {
    EnumResourceLanguagesA(module, type, name, &AddLanguage, resources);
    return TRUE;
}

BOOL CALLBACK AddType(HMODULE module, LPSTR type, LONG_PTR resources) {
    EnumResourceNamesA(module, type, &AddName, resources);
    return TRUE;
}

}  // namespace

std::vector<Resource> ReadResources(const std::string& path) {
    std::vector<Resource> resources;
    const HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return resources;
    EnumResourceTypesA(module, &AddType, reinterpret_cast<LONG_PTR>(&resources));
    FreeLibrary(module);
    return resources;
}

}  // namespace instdll
