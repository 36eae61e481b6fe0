// RegDBAddToTitles on the in-memory registry: 1,000 values, 50 forms of the title taken.
#include <benchmark/benchmark.h>

#include "registry/memory_registry.h"
#include "registry/registry_key.h"
#include "tests/common/title_benchmark_list.h"
#include "utilities/titles.h"

namespace instdll {
namespace {

void BM_AddToTitlesWithFiftyFormsTaken(benchmark::State& state) {
    MemoryRegistry registry;
    testing::SeedTitles(registry, testing::BenchmarkTitleList());
    UnsharedState unshared;
    std::size_t enumerations = 0;
    for (auto _ : state) {
        const std::size_t before = registry.CallCount(RegOperation::EnumValue);
        benchmark::DoNotOptimize(
            AddToTitles(registry, unshared, "added", testing::kBenchmarkTitle));
        enumerations = registry.CallCount(RegOperation::EnumValue) - before;
        state.PauseTiming();
        RegistryKey key = OpenKey(registry, kHkeyCurrentUser, kTitlesPath);
        registry.RegDeleteValueA(key.get(), "added");
        state.ResumeTiming();
    }
    const auto n = static_cast<double>(testing::kBenchmarkValues);
    const auto k = static_cast<double>(testing::kBenchmarkTakenForms);
    state.counters["enum_calls"] = static_cast<double>(enumerations);
    state.counters["enum_bound"] = (k + 1) * (n + 1);
}
BENCHMARK(BM_AddToTitlesWithFiftyFormsTaken)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace instdll

BENCHMARK_MAIN();
