#include "stamping/resource_file.h"

#include <exception>

namespace instdll {
namespace {

// What the enumeration gathers. An exception must not unwind through the system's enumeration
// frames: it is held here, the enumeration stops, and it is thrown again once that returned.
struct Gathered {
    std::vector<Resource> resources;
    std::exception_ptr failure;
};

template <typename Visit>
BOOL Gather(LONG_PTR gathered, Visit visit) noexcept {
    auto& into = *reinterpret_cast<Gathered*>(gathered);
    try {
        visit(into.resources);
    } catch (...) {
        into.failure = std::current_exception();
    }
    return into.failure == nullptr ? TRUE : FALSE;
}

ResourceId IdOf(const char* id) {
    if (IS_INTRESOURCE(id)) return {static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id)), {}};
    return {0, id};
}

BOOL CALLBACK AddLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language,
                          LONG_PTR gathered) {
    return Gather(gathered, [&](std::vector<Resource>& resources) {
        const HRSRC found = FindResourceExA(module, type, name, language);
        const DWORD size = SizeofResource(module, found);
        const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        resources.push_back({IdOf(type), IdOf(name), language,
                             data == nullptr ? std::string() : std::string(data, size)});
    });
}

BOOL CALLBACK AddName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR gathered) {
    return Gather(gathered, [&](std::vector<Resource>&) {
        EnumResourceLanguagesA(module, type, name, &AddLanguage, gathered);
    });
}

BOOL CALLBACK AddType(HMODULE module, LPSTR type, LONG_PTR gathered) {
    return Gather(gathered, [&](std::vector<Resource>&) {
        EnumResourceNamesA(module, type, &AddName, gathered);
    });
}

// Sole owner of a file loaded as data.
class DataFile {
public:
    explicit DataFile(const std::string& path)
        : module_(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;
    ~DataFile() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    HMODULE get() const { return module_; }

private:
    HMODULE module_;
};

}  // namespace

std::vector<Resource> ReadResources(const std::string& path) {
    Gathered gathered;
    const DataFile file(path);
    if (file.get() == nullptr) return {};
    EnumResourceTypesA(file.get(), &AddType, reinterpret_cast<LONG_PTR>(&gathered));
    if (gathered.failure) std::rethrow_exception(gathered.failure);
    return std::move(gathered.resources);
}

}  // namespace instdll
