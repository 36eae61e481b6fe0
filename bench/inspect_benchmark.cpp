// instdll-inspect on a generated export of the size real ones have: 200 MB of UTF-16LE, mostly
// other vendors' keys, with 5,000 family components in the uninstall list and the product key.
// Loads it from disk and builds the catalogue; reports the throughput and the peak memory.
// --export_mb=N generates N MB instead, with the components in the same proportion.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/generated_file.h"
#include "inspect/code_page_converter.h"
#include "inspect/questions.h"
#include "inspect/registry_import.h"
#include "regfile/reg_file_reader.h"
#include "registry/memory_registry.h"
#include "registry/registry_view.h"
#include "text/host_code_page.h"

namespace {

using namespace instdll;
using namespace instdll::inspect;
using namespace instdll::bench;

constexpr std::size_t kDefaultExportMegabytes = 200;
constexpr std::size_t kComponentsPerMegabyte = 25;
constexpr unsigned kCodePage = 1251;

// Writes UTF-8 text out as UTF-16LE, in chunks, so the generator itself stays small.
class Utf16File {
public:
    explicit Utf16File(const std::string& path) : out_(path, std::ios::binary) {
        out_ << "\xFF\xFE";
    }
    void Write(const std::string& ascii) {
        for (char c : ascii) {
            chunk_ += c;
            chunk_ += '\0';
        }
        if (chunk_.size() > (1u << 20)) Flush();
    }
    std::size_t size() {
        Flush();
        return static_cast<std::size_t>(out_.tellp());
    }

private:
    void Flush() {
        out_ << chunk_;
        chunk_.clear();
    }
    std::ofstream out_;
    std::string chunk_;
};

std::string FamilyComponent(int i) {
    const std::string name = "Zk:Component " + std::to_string(i);
    const std::string dir = "C:\\\\Program Files\\\\Zk\\\\Dir" + std::to_string(i % 100);
    return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name +
           "]\r\n\"DisplayName\"=\"Zk:7.5 Component " + std::to_string(i) +
           "\"\r\n\"UninstallString\"=\"zkuninst.exe -f\\\"" + dir + "\\\\c.isu\\\" /a" +
           std::to_string(i) + " -c\\\"" + dir + "\\\\uninst.dll\\\"\"\r\n\r\n" +
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\" + name +
           "]\r\n\"ZkFolder\"=\"Bin\"\r\n" + "\"ZkPath\"=\"" + dir +
           "\\\\program.exe\"\r\n\"RegMethod\"=dword:00000001\r\n\r\n";
}

// Another vendor's key as regedit writes it: a path, a number and wrapped binary data.
std::string OtherKey(std::size_t i) {
    std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor" + std::to_string(i % 397) +
                      "\\Product" + std::to_string(i) +
                      "\\Settings]\r\n\"InstallPath\"=\"C:\\\\Program Files\\\\Vendor\\\\" +
                      std::to_string(i) + "\"\r\n\"Count\"=dword:0000002a\r\n\"Blob\"=hex:";
    for (int byte = 0; byte < 96; ++byte) {
        char hex[8];
        std::snprintf(hex, sizeof hex, byte % 25 == 24 ? "%02x,\\\r\n  " : "%02x,", byte);
        key += hex;
    }
    return key + "00\r\n\r\n";
}

std::string GenerateExport(std::size_t bytes, std::size_t components) {
    const std::string path = GeneratedFilePath("instdll-inspect-benchmark", ".reg");
    Utf16File file(path);
    file.Write("Windows Registry Editor Version 5.00\r\n\r\n");
    std::size_t other = 0;
    for (std::size_t i = 0; i < components; ++i) {
        file.Write(FamilyComponent(static_cast<int>(i)));
        // The family's keys spread through the file, as in a real export.
        for (std::size_t target = bytes * (i + 1) / components; file.size() < target;) {
            file.Write(OtherKey(other++));
        }
    }
    return path;
}

void LoadAndCatalogue(benchmark::State& state) {
    const auto megabytes = static_cast<std::size_t>(state.range(0));
    const std::size_t components = megabytes * kComponentsPerMegabyte;
    const std::string path = GenerateExport(megabytes * kMegabyte, components);
    const auto converter = MakeCodePageConverter(kCodePage);
    const HostCodePage codePage(kCodePage);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        MemoryRegistry registry;
        RegistryImport import(registry, *converter, codePage);
        std::ifstream in(path, std::ios::binary);
        if (ReadRegFile(in, *converter, import)) state.SkipWithError("the export did not read");
        const CatalogueAnswer answer =
            AskCatalogue(registry, RegistryView::For(32, import.sawWow6432Node()), codePage);
        if (answer.entries.size() != components) state.SkipWithError("components missing");
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    const double megabytesRead = static_cast<double>(state.iterations()) *
                                 static_cast<double>(std::filesystem::file_size(path)) / kMegabyte;
    state.counters["MB/s"] = megabytesRead / seconds.count();
    state.counters["peak_MB"] = PeakMegabytes();
    std::filesystem::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::size_t megabytes = kDefaultExportMegabytes;
    if (!MegabytesFromArguments(argc, argv, "--export_mb=", megabytes)) return 1;
    benchmark::RegisterBenchmark("LoadAndCatalogue", LoadAndCatalogue)
        ->Arg(static_cast<std::int64_t>(megabytes))
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
