// instdll-inspect on a generated export of the size real ones have: 200 MB of UTF-16LE, mostly
// other vendors' keys, with 5,000 family components in the uninstall list and the product key.
// Loads it from disk and builds the catalogue; reports the throughput and the peak memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "inspect/questions.h"
#include "regfile/reg_file_reader.h"
#include "text/host_code_page.h"

namespace {

using namespace instdll;
using namespace instdll::inspect;

constexpr std::size_t kExportBytes = std::size_t{200} << 20;
constexpr int kComponents = 5000;
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

std::string GenerateExport() {
    const std::string path = "/tmp/instdll-inspect-benchmark.reg";
    Utf16File file(path);
    file.Write("Windows Registry Editor Version 5.00\r\n\r\n");
    std::size_t other = 0;
    for (int i = 0; i < kComponents; ++i) {
        file.Write(FamilyComponent(i));
        // The family's keys spread through the file, as in a real export.
        for (std::size_t target = kExportBytes * static_cast<std::size_t>(i + 1) / kComponents;
             file.size() < target;) {
            file.Write(OtherKey(other++));
        }
    }
    return path;
}

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void LoadAndCatalogue(benchmark::State& state) {
    const std::string path = GenerateExport();
    const auto converter = MakeCodePageConverter(kCodePage);
    const HostCodePage codePage(kCodePage);
    for (auto _ : state) {
        MemoryRegistry registry;
        RegistryImport import(registry, *converter, codePage);
        std::ifstream in(path, std::ios::binary);
        if (ReadRegFile(in, *converter, import)) state.SkipWithError("the export did not read");
        const CatalogueAnswer answer =
            AskCatalogue(registry, RegistryView::For(32, import.sawWow6432Node()), codePage);
        if (answer.entries.size() != kComponents) state.SkipWithError("components missing");
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
    state.counters["peak_MB"] = PeakMegabytes();
    std::remove(path.c_str());
}
BENCHMARK(LoadAndCatalogue)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
