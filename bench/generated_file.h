#pragma once
// What the benchmarks that read a generated file share: its size, given on the command line, its
// own name, and the process's peak memory.
#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace instdll::bench {

inline constexpr std::size_t kMegabyte = 1'000'000;
inline constexpr std::size_t kMaxMegabytes = 100'000;

// "<flag>N", N from 1 to kMaxMegabytes.
inline bool ParseMegabytes(std::string_view argument, std::string_view flag,
                           std::size_t& megabytes) {
    if (!argument.starts_with(flag)) return false;
    const std::string_view number = argument.substr(flag.size());
    const char* end = number.data() + number.size();
    const auto [parsed, error] = std::from_chars(number.data(), end, megabytes);
    return error == std::errc() && parsed == end && megabytes > 0 && megabytes <= kMaxMegabytes;
}

// The arguments left after Google Benchmark's own: "<flag>N" at most. Says why when they are not.
inline bool MegabytesFromArguments(int argc, char** argv, std::string_view flag,
                                   std::size_t& megabytes) {
    for (int i = 1; i < argc; ++i) {
        if (!ParseMegabytes(argv[i], flag, megabytes)) {
            std::fprintf(stderr, "%s: %s is not %sN, N from 1 to %zu\n", argv[0], argv[i],
                         std::string(flag).c_str(), kMaxMegabytes);
            return false;
        }
    }
    return true;
}

// Named after the process, so that runs side by side do not write one file.
inline std::string GeneratedFilePath(const std::string& stem, const std::string& extension) {
    return std::filesystem::temp_directory_path() /
           (stem + "-" + std::to_string(getpid()) + extension);
}

inline double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0 / kMegabyte;
}

}  // namespace instdll::bench
