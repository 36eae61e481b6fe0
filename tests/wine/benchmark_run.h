#pragma once

#include <cstdio>
#include <cstring>
#include <optional>

namespace instdll::testing {

enum class BenchmarkRun { Measured, Smoke };

// No argument measures; --smoke runs the benchmark once and small, so that the test run sees it
// work. Anything else is refused: a mistyped flag never passes for a measurement.
inline std::optional<BenchmarkRun> ParseBenchmarkRun(int argc, char** argv) {
    if (argc == 1) return BenchmarkRun::Measured;
    if (argc == 2 && std::strcmp(argv[1], "--smoke") == 0) return BenchmarkRun::Smoke;
    std::fprintf(stderr, "usage: %s [--smoke]\n", argv[0]);
    return std::nullopt;
}

}  // namespace instdll::testing
