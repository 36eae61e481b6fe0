// Stamps a target of 1.3 GB, nearly all of it overlay, through the loaded DLL and checks the
// result and this process's peak working set. A program of its own, so that the peak is the
// stamp's and no earlier test's; the harness runs it (large_stamp_wine_test.cpp).
#include <windows.h>
// after windows.h, which it needs
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "stamping/pe_overlay.h"
#include "stamping/resource_file.h"
#include "stamping/stamp_files.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/message_box_watcher.h"

namespace instdll::testing {
namespace {

constexpr std::uint64_t kOverlaySize = std::uint64_t{1280} << 20;
constexpr std::uint64_t kMarkerSpacing = std::uint64_t{64} << 20;
constexpr std::size_t kMarkerSize = 16;
constexpr SIZE_T kPeakLimit = SIZE_T{64} << 20;

// The overlay is sparse: zeros, with a marker naming its own offset every 64 MB and at the end.
// A stamp that loses, cuts or shifts any part of it misses a marker.
bool ForEachMarker(const std::function<bool(std::uint64_t, const std::string&)>& visit) {
    const std::uint64_t last = kOverlaySize - kMarkerSize;
    for (std::uint64_t at = 0;; at = std::min(at + kMarkerSpacing, last)) {
        char marker[kMarkerSize + 1] = {};
        std::snprintf(marker, sizeof marker, "zk@%013llx", static_cast<unsigned long long>(at));
        if (!visit(at, std::string(marker, kMarkerSize))) return false;
        if (at == last) return true;
    }
}

bool MakeLargeTarget(const std::string& source, const std::string& path) {
    const FileCalls files;
    if (!CopyFileA(source.c_str(), path.c_str(), FALSE)) return false;
    OpenFile file(path, GENERIC_READ | GENERIC_WRITE, 0, files);
    const auto end = SectionDataEnd(file);
    return end && file.EndAndFlush(*end + kOverlaySize) &&
           ForEachMarker([&](std::uint64_t at, const std::string& marker) {
               return file.WriteAt(*end + at, reinterpret_cast<const std::uint8_t*>(marker.data()),
                                   kMarkerSize);
           });
}

bool OverlayIsIntact(const OpenFile& file, std::uint64_t sectionsEnd) {
    return file.Size() == sectionsEnd + kOverlaySize &&
           ForEachMarker([&](std::uint64_t at, const std::string& marker) {
               std::string read(kMarkerSize, '\0');
               return file.ReadAt(sectionsEnd + at, reinterpret_cast<std::uint8_t*>(read.data()),
                                  kMarkerSize) &&
                      read == marker;
           });
}

// Read from a copy of the sections alone: loading the whole file as data would need more
// address space than a 32-bit process has in one piece.
bool HoldsParams(const OpenFile& file, std::uint64_t sectionsEnd, const std::string& copyPath) {
    const FileCalls files;
    CloseHandle(
        CreateFileA(copyPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    bool copied = false;
    {
        OpenFile copy(copyPath, GENERIC_WRITE, 0, files);
        copied = CopyBytes(file, 0, copy, 0, sectionsEnd);
    }
    int found = 0;
    for (const Resource& r : copied ? ReadResources(copyPath) : std::vector<Resource>{}) {
        const bool param = r.type.number == 10 && r.language == 0;
        found += param && r.name.number == 300 && r.bytes == "first";
        found += param && r.name.number == 301 && r.bytes == "second";
    }
    DeleteFileA(copyPath.c_str());
    return found == 2;
}

SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

std::string BesideThisProgram(const char* name) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string path(self);
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

bool StampAndCheck(const InstDllExports& exports, const std::string& target) {
    if (!MakeLargeTarget(BesideThisProgram("instdll_stamp_target.exe"), target)) {
        std::printf("large stamp: could not make the target\n");
        return false;
    }
    const SIZE_T peakBefore = PeakWorkingSet();
    const DWORD started = GetTickCount();
    {
        MessageBoxWatcher watcher;
        exports.WriteUserParams(target.c_str(), "first", "second");
    }
    const DWORD elapsed = GetTickCount() - started;
    const SIZE_T peak = PeakWorkingSet();

    const FileCalls files;
    const OpenFile stamped(target, GENERIC_READ, FILE_SHARE_READ, files);
    const auto end = SectionDataEnd(stamped);
    const bool params = end && HoldsParams(stamped, *end, target + ".sections");
    const bool overlay = end && OverlayIsIntact(stamped, *end);
    std::printf(
        "large stamp: %llu-byte file, %llu-byte overlay, stamped in %lu ms; peak working "
        "set %lu KB before the call, %lu KB after (limit %lu KB); parameters %s, "
        "overlay %s\n",
        static_cast<unsigned long long>(stamped.Size()),
        static_cast<unsigned long long>(kOverlaySize), static_cast<unsigned long>(elapsed),
        static_cast<unsigned long>(peakBefore >> 10), static_cast<unsigned long>(peak >> 10),
        static_cast<unsigned long>(kPeakLimit >> 10), params ? "stored" : "MISSING",
        overlay ? "intact" : "DAMAGED");
    return params && overlay && peak < kPeakLimit;
}

int Run() {
    LoadedInstDll dll;
    std::string missing;
    if (!dll.ResolveAll(&missing)) {
        std::printf("large stamp: InstDLL.dll or %s missing\n", missing.c_str());
        return 1;
    }
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string target =
        std::string(temp) + "instdll-large-" + std::to_string(GetCurrentProcessId()) + ".exe";
    const bool stamped = StampAndCheck(dll.exports(), target);
    DeleteFileA(target.c_str());
    return stamped ? 0 : 1;
}

}  // namespace
}  // namespace instdll::testing

int main() { return instdll::testing::Run(); }
