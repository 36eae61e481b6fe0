// RegDBAddToTitles through the loaded DLL on Wine's registry: 1,000 values, 50 forms taken.
// A smoke run calls it once.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <optional>

#include "registry/win32_registry.h"
#include "tests/common/title_benchmark_list.h"
#include "tests/wine/benchmark_run.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/registry_snapshot.h"

int main(int argc, char** argv) {
    using namespace instdll;
    using namespace instdll::testing;
    const std::optional<BenchmarkRun> run = ParseBenchmarkRun(argc, argv);
    if (!run) return 2;
    const int runs = *run == BenchmarkRun::Smoke ? 1 : 5;
    LoadedInstDll dll;
    std::string missing;
    if (!dll.ResolveAll(&missing)) {
        std::fprintf(stderr, "titles_wine_benchmark: %s is missing\n", missing.c_str());
        return 1;
    }
    DeleteTree(HKEY_CURRENT_USER, kFamilyUserKey);
    SeedTitles(SystemRegistry(), BenchmarkTitleList());

    double total = 0;
    bool numbered = true;
    for (int call = 0; call < runs; ++call) {
        const auto start = std::chrono::steady_clock::now();
        dll.exports().RegDBAddToTitles("added", kBenchmarkTitle);
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count();
        char data[256] = {};
        DWORD size = sizeof data;
        numbered &= RegGetValueA(HKEY_CURRENT_USER, kTitlesPath, "added", RRF_RT_REG_SZ, nullptr,
                                 data, &size) == ERROR_SUCCESS &&
                    std::string(data) == std::string(kBenchmarkTitle) + " #50";
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_CURRENT_USER, kTitlesPath, 0, KEY_ALL_ACCESS, &key);
        RegDeleteValueA(key, "added");
        RegCloseKey(key);
    }
    DeleteTree(HKEY_CURRENT_USER, kFamilyUserKey);
    std::printf(
        "titles_wine_benchmark: RegDBAddToTitles, %d values, %d forms taken: %.1f ms per "
        "call (mean of %d)%s\n",
        kBenchmarkValues, kBenchmarkTakenForms, total / runs, runs,
        numbered ? "" : "; WRONG TITLE STORED");
    return numbered ? 0 : 1;
}
