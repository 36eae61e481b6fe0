// instdll-inspect --restore on generated call logs of 100 MB, through the tool's own entry point,
// with the throughput and the peak memory: setup runs one after another, each cataloguing,
// finding its log and pruning two components of two keys each; and a log shaped to cost memory,
// each line a pruning call's start from a process of its own. --log_mb=N generates N MB instead.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "bench/generated_file.h"
#include "inspect/tool.h"

namespace {

using namespace instdll::bench;

constexpr std::size_t kDefaultLogMegabytes = 100;

class LogWriter {
public:
    explicit LogWriter(const std::string& path) : out_(path, std::ios::binary) {}

    void Call(unsigned pid, std::size_t run, const char* exportName,
              std::initializer_list<std::string> texts) {
        char time[32];
        std::snprintf(time, sizeof time, "2026-12-10 %02zu:%02zu:%02zu.%03zu", run / 3600000 % 24,
                      run / 60000 % 60, run / 1000 % 60, run % 1000);
        const std::string prefix =
            std::string(time) + " [" + std::to_string(pid) + "] " + exportName + ": ";
        for (const std::string& text : texts) out_ << prefix << text << "\r\n";
    }
    std::size_t size() { return static_cast<std::size_t>(out_.tellp()); }

private:
    std::ofstream out_;
};

std::string Component(std::size_t run, int i) {
    return "Zk:Component " + std::to_string(run) + "." + std::to_string(i);
}

std::string Directory(std::size_t run) {
    return R"(C:\\Program Files\\Zk\\Suite)" + std::to_string(run % 100) + R"(\\)";
}

void SetupRun(LogWriter& log, std::size_t run) {
    const unsigned pid = 1000 + static_cast<unsigned>(run % 60000);
    const std::string dir = Directory(run);
    log.Call(pid, run, "InitV7Info",
             {"called", "process: 32-bit on 64-bit Windows",
              R"(passed over uninstall root subkey "OtherApp": not of the family)",
              "catalogue: 3 entries",
              "entry \"" + Component(run, 0) + "\": log directory \"" + dir +
                  "\", log file \"core.isu\", arguments \"CORE\"",
              "entry \"" + Component(run, 1) + "\": log directory \"" + dir +
                  "\", log file \"a.isu\", arguments \"A\"",
              "entry \"" + Component(run, 2) + "\": log directory \"" + dir +
                  "\", log file \"b.isu\", arguments \"B\"",
              "returned 1"});
    log.Call(
        pid, run, "FindISUInCatalog",
        {"called with directory \"" + dir + "\"", "process: 32-bit on 64-bit Windows",
         "matched entry \"" + Component(run, 0) + "\"", R"(logFileName "core.isu")", "returned 1"});
    log.Call(pid, run, "RemoveAllInCatExcept",
             {"called with directory \"" + dir + "\", argumentsToKeep \"CORE\"",
              "process: 32-bit on 64-bit Windows", "counter @=dword:00000005",
              R"(shared state locked in Global\)"});
    for (int i = 1; i <= 2; ++i) {
        const std::string name = Component(run, i);
        log.Call(pid, run, "RemoveAllInCatExcept",
                 {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                      name + "]",
                  "\"DisplayName\"=\"Zk:7.5 " + name + "\"",
                  "\"UninstallString\"=\"zkuninst.exe -f\\\"" + dir + "a.isu\\\" A -c\\\"" + dir +
                      "uninst.dll\\\"\"",
                  "deleted, with 2 values",
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\" + name + "]",
                  R"("RegMethod"=dword:00000002)", "\"ZkFolder\"=\"Suite\"",
                  "\"ZkPath\"=\"" + dir + "a.exe\"", "deleted, with 3 values"});
    }
    log.Call(pid, run, "RemoveAllInCatExcept",
             {"wrote [HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\Components] @=dword:00000003 "
              "over @=dword:00000005",
              "returned 1"});
}

std::string GenerateLog(bool manyProcesses, std::size_t bytes) {
    const std::string path = GeneratedFilePath("instdll-restore-benchmark", ".log");
    LogWriter log(path);
    for (std::size_t run = 0; log.size() < bytes; ++run) {
        if (manyProcesses) {
            log.Call(static_cast<unsigned>(run), run, "RemoveAllInCatExcept", {"called"});
        } else {
            SetupRun(log, run);
        }
    }
    return path;
}

// The peak is the process's: the ordinary log is measured first, before the other has raised it.
void Restore(benchmark::State& state, bool manyProcesses, int expectedStatus) {
    const auto megabytes = static_cast<std::size_t>(state.range(0));
    const std::string path = GenerateLog(manyProcesses, megabytes * kMegabyte);
    const std::string regFile = path + ".reg";
    // The answer is discarded, so that only the tool's own memory is measured.
    std::ostream discarded(nullptr);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const int status = instdll::inspect::RunInspect({"--restore", path, "--out", regFile},
                                                        discarded, discarded);
        if (status != expectedStatus) state.SkipWithError("unexpected exit status");
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    const double logMegabytes = static_cast<double>(std::filesystem::file_size(path)) / kMegabyte;
    state.counters["MB/s"] =
        static_cast<double>(state.iterations()) * logMegabytes / seconds.count();
    state.counters["log_MB"] = logMegabytes;
    if (std::filesystem::exists(regFile)) {
        state.counters["reg_MB"] =
            static_cast<double>(std::filesystem::file_size(regFile)) / kMegabyte;
    }
    state.counters["peak_MB"] = PeakMegabytes();
    std::remove(regFile.c_str());
    std::remove(path.c_str());
}

void OrdinaryCalls(benchmark::State& state) { Restore(state, false, 0); }
void OneProcessPerLine(benchmark::State& state) { Restore(state, true, 2); }

struct Restoring {
    const char* name;
    void (*run)(benchmark::State&);
};
constexpr Restoring kRestorings[] = {{"OrdinaryCalls", OrdinaryCalls},
                                     {"OneProcessPerLine", OneProcessPerLine}};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::size_t megabytes = kDefaultLogMegabytes;
    if (!MegabytesFromArguments(argc, argv, "--log_mb=", megabytes)) return 1;
    for (const Restoring& restoring : kRestorings) {
        benchmark::RegisterBenchmark(restoring.name, restoring.run)
            ->Arg(static_cast<std::int64_t>(megabytes))
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->UseRealTime();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
