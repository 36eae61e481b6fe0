// Catalogue construction on the in-memory registry: n uninstall entries and n product subkeys,
// half of which complete an uninstall entry.
#include <benchmark/benchmark.h>

#include <string>

#include "catalog/installed_components.h"
#include "registry/memory_registry.h"
#include "tests/common/catalog_seed.h"
#include "text/host_code_page.h"

namespace {

using namespace instdll;

void SeedComponents(MemoryRegistry& registry, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string name = "Zk:Component " + std::to_string(i);
        const std::string dir = "C:\\Zk\\Dir" + std::to_string(i % 100) + "\\";
        testing::SeedLoggedComponent(registry, name, dir, "/a" + std::to_string(i));
        const std::string product = i % 2 == 0 ? name + " Net" : "Zk:Product " + std::to_string(i);
        testing::SeedProductComponent(registry, product, "Bin", dir + "program.exe", 1);
    }
}

void CatalogueConstruction(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    MemoryRegistry registry;
    SeedComponents(registry, count);
    const HostCodePage codePage(1252);
    UnsharedState unshared;
    for (auto _ : state) {
        InstalledComponents components(registry, codePage, unshared);
        benchmark::DoNotOptimize(components.InitV7Info());
        benchmark::DoNotOptimize(components.catalog().size());
    }
    state.SetComplexityN(state.range(0));
    state.counters["entries"] = static_cast<double>(count);
}
BENCHMARK(CatalogueConstruction)
    ->Arg(625)
    ->Arg(1250)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNLogN);

}  // namespace

BENCHMARK_MAIN();
