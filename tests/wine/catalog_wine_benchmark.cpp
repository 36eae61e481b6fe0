// InitV7Info on the real registry against a bare loop of the registry calls it makes: open both
// roots, enumerate, open each family subkey, read its values, close. Both run in this process
// over the same seeded keys; the ratio is what the catalogue adds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "registry/win32_registry.h"
#include "tests/common/catalog_seed.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/registry_snapshot.h"

namespace {

using namespace instdll;
using namespace instdll::testing;

constexpr int kUninstallEntries = 5000;
constexpr int kProductComponents = 1000;
constexpr int kRounds = 7;
constexpr char kBenchPrefix[] = "Zk:Bench ";

std::string EntryName(int i) { return kBenchPrefix + std::to_string(i); }

bool Seed() {
    RegistryAccess& registry = SystemRegistry();
    for (int i = 0; i < kUninstallEntries; ++i) {
        if (!SeedLoggedComponent(registry, EntryName(i),
                                 "C:\\Bench\\" + std::to_string(i % 50) + "\\", "/a")) {
            return false;
        }
    }
    for (int i = 0; i < kProductComponents; ++i) {
        // Every other component completes an uninstall entry, the rest stand alone.
        const std::string name =
            i % 2 == 0 ? EntryName(i) + " Net" : "Zk:Product " + std::to_string(i);
        if (!SeedProductComponent(registry, name, "Bin", "C:\\Bench\\program.exe", 1)) return false;
    }
    return true;
}

void RemoveSeeded() {
    HKEY root = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallRootPath, 0, KEY_ALL_ACCESS, &root) ==
        ERROR_SUCCESS) {
        for (int i = 0; i < kUninstallEntries; ++i) RegDeleteKeyA(root, EntryName(i).c_str());
        RegCloseKey(root);
    }
    DeleteTree(HKEY_LOCAL_MACHINE, kProductKeyPath);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zk\\Zkv7");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zk");
}

bool HasPrefix(const char* name) {
    char prefix[4] = {};
    lstrcpynA(prefix, name, sizeof prefix);
    return lstrcmpiA(prefix, kFamilyPrefix) == 0;
}

// The calls InitV7Info makes, with nothing kept.
void ScanBare(HKEY root, std::initializer_list<const char*> valueNames) {
    char name[256];
    for (DWORD index = 0; RegEnumKeyA(root, index, name, sizeof name) == ERROR_SUCCESS; ++index) {
        if (!HasPrefix(name)) continue;
        HKEY subkey = nullptr;
        if (RegOpenKeyExA(root, name, 0, KEY_ALL_ACCESS, &subkey) != ERROR_SUCCESS) continue;
        for (const char* valueName : valueNames) {
            BYTE data[256];
            DWORD size = sizeof data;
            DWORD type = 0;
            RegQueryValueExA(subkey, valueName, nullptr, &type, data, &size);
        }
        RegCloseKey(subkey);
    }
}

void BareRegistryCalls() {
    HKEY product = nullptr;
    HKEY uninstall = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKeyPath, 0, KEY_ALL_ACCESS, &product);
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallRootPath, 0, KEY_ALL_ACCESS, &uninstall);
    ScanBare(uninstall, {kDisplayNameValue, kUninstallStringValue});
    ScanBare(product, {kFolderValue, kPathValue, kRegMethodValue});
    RegCloseKey(uninstall);
    RegCloseKey(product);
}

double Seconds(const std::function<void()>& run) {
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    run();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main() {
    RemoveSeeded();
    if (!Seed()) {
        std::fprintf(stderr, "catalog_wine_benchmark: seeding the registry failed\n");
        RemoveSeeded();
        return 1;
    }
    std::vector<double> bare;
    std::vector<double> catalogue;
    int result = 0;
    for (int round = 0; round < kRounds && result == 0; ++round) {
        bare.push_back(Seconds(BareRegistryCalls));
        // A fresh library each round, so that every call builds the catalogue from empty.
        LoadedInstDll dll;
        std::string missing;
        if (!dll.ResolveAll(&missing)) {
            std::fprintf(stderr, "catalog_wine_benchmark: %s missing\n", missing.c_str());
            result = 1;
            break;
        }
        int opened = 0;
        catalogue.push_back(Seconds([&] { opened = dll.exports().InitV7Info(); }));
        if (opened != 1) result = 1;
    }
    RemoveSeeded();
    if (result != 0) return result;
    const double bareSeconds = Median(bare);
    const double catalogueSeconds = Median(catalogue);
    std::printf("InitV7Info over %d uninstall entries and %d product subkeys, median of %d:\n",
                kUninstallEntries, kProductComponents, kRounds);
    std::printf("  bare registry calls  %8.2f ms\n", bareSeconds * 1000);
    std::printf("  InitV7Info           %8.2f ms\n", catalogueSeconds * 1000);
    std::printf("  ratio                %8.3f (target: at most 1.10)\n",
                catalogueSeconds / bareSeconds);
    return 0;
}
