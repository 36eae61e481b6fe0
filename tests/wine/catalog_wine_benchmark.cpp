// InitV7Info on the real registry against a bare loop of the registry calls it makes: open both
// roots, enumerate, open each family subkey, read its values, close. All run in this process
// over the same seeded keys, interleaved round by round (bare, log off, log on) so that the
// machine's drift touches each alike; each round's ratio is what the catalogue adds there.
// A smoke run: one round over a tenth of the keys.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "registry/win32_registry.h"
#include "tests/common/catalog_seed.h"
#include "tests/wine/benchmark_run.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/registry_snapshot.h"

namespace {

using namespace instdll;
using namespace instdll::testing;

struct Scale {
    int uninstallEntries;
    int productComponents;
    int rounds;
};
constexpr Scale kMeasured{5000, 1000, 9};
constexpr Scale kSmoke{500, 100, 1};
constexpr char kLogVariable[] = "INSTDLL_LOG";
constexpr char kBenchPrefix[] = "Zk:Bench ";

std::string EntryName(int i) { return kBenchPrefix + std::to_string(i); }

bool Seed(const Scale& scale) {
    RegistryAccess& registry = SystemRegistry();
    for (int i = 0; i < scale.uninstallEntries; ++i) {
        if (!SeedLoggedComponent(registry, EntryName(i),
                                 "C:\\Bench\\" + std::to_string(i % 50) + "\\", "/a")) {
            return false;
        }
    }
    for (int i = 0; i < scale.productComponents; ++i) {
        // Every other component completes an uninstall entry, the rest stand alone.
        const std::string name =
            i % 2 == 0 ? EntryName(i) + " Net" : "Zk:Product " + std::to_string(i);
        if (!SeedProductComponent(registry, name, "Bin", "C:\\Bench\\program.exe", 1)) return false;
    }
    return true;
}

void RemoveSeeded(const Scale& scale) {
    HKEY root = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallRootPath, 0, KEY_ALL_ACCESS, &root) ==
        ERROR_SUCCESS) {
        for (int i = 0; i < scale.uninstallEntries; ++i) {
            RegDeleteKeyA(root, EntryName(i).c_str());
        }
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

// InitV7Info's time in a fresh library, so that every call builds the catalogue from empty;
// negative when it failed.
double InitV7InfoSeconds() {
    LoadedInstDll dll;
    std::string missing;
    if (!dll.ResolveAll(&missing)) {
        std::fprintf(stderr, "catalog_wine_benchmark: %s missing\n", missing.c_str());
        return -1;
    }
    int opened = 0;
    const double seconds = Seconds([&] { opened = dll.exports().InitV7Info(); });
    return opened == 1 ? seconds : -1;
}

std::string LogPath() {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + "catalog-benchmark-log.txt";
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<BenchmarkRun> run = ParseBenchmarkRun(argc, argv);
    if (!run) return 2;
    const Scale& scale = *run == BenchmarkRun::Smoke ? kSmoke : kMeasured;
    RemoveSeeded(scale);
    if (!Seed(scale)) {
        std::fprintf(stderr, "catalog_wine_benchmark: seeding the registry failed\n");
        RemoveSeeded(scale);
        return 1;
    }
    const std::string logPath = LogPath();
    std::vector<double> bare;
    std::vector<double> logOff;
    std::vector<double> logOn;
    std::vector<double> offRatios;
    std::vector<double> onRatios;
    int result = 0;
    for (int round = 0; round < scale.rounds && result == 0; ++round) {
        bare.push_back(Seconds(BareRegistryCalls));
        SetEnvironmentVariableA(kLogVariable, nullptr);
        logOff.push_back(InitV7InfoSeconds());
        DeleteFileA(logPath.c_str());
        SetEnvironmentVariableA(kLogVariable, logPath.c_str());
        logOn.push_back(InitV7InfoSeconds());
        SetEnvironmentVariableA(kLogVariable, nullptr);
        DeleteFileA(logPath.c_str());
        if (logOff.back() < 0 || logOn.back() < 0) result = 1;
        offRatios.push_back(logOff.back() / bare.back());
        onRatios.push_back(logOn.back() / bare.back());
    }
    RemoveSeeded(scale);
    if (result != 0) return result;
    std::printf(
        "InitV7Info over %d uninstall entries and %d product subkeys, %d interleaved rounds:\n",
        scale.uninstallEntries, scale.productComponents, scale.rounds);
    std::printf("  bare registry calls  %8.2f ms (median)\n", Median(bare) * 1000);
    std::printf("  InitV7Info, log off  %8.2f ms (median)\n", Median(logOff) * 1000);
    std::printf("  InitV7Info, log on   %8.2f ms (median)\n", Median(logOn) * 1000);
    std::printf(
        "  ratio, log off       %8.3f (median of the rounds' ratios; target: at most 1.05)\n",
        Median(offRatios));
    std::printf("  ratio, log on        %8.3f (median of the rounds' ratios)\n", Median(onRatios));
    return 0;
}
