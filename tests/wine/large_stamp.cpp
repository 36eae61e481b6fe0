// Stamps a target of 1.3 GB, nearly all of it overlay, through the loaded DLL and checks the
// result and this process's peak working set. A program of its own, so that the peak is the
// stamp's and no earlier test's; the harness runs it (large_stamp_wine_test.cpp).
#include <windows.h>
// after windows.h, which it needs
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/wine/loaded_library.h"
#include "tests/wine/message_box_watcher.h"
#include "utilities/pe_overlay.h"
#include "utilities/resource_file.h"
#include "utilities/stamp_files.h"

namespace instdll::testing {
namespace {

constexpr std::uint64_t kOverlaySize = std::uint64_t{1280} << 20;
constexpr std::uint64_t kMarkerSpacing = std::uint64_t{64} << 20;
constexpr std::size_t kMarkerSize = 16;
constexpr SIZE_T kPeakLimit = SIZE_T{64} << 20;

// The overlay is sparse zeros with a marker at every 64 MB and at its very end.
void MarkerAt(std::uint64_t offset, std::uint8_t* out) {
    std::snprintf(reinterpret_cast<char*>(out), kMarkerSize, "zk@%012llx",
                  static_cast<unsigned long long>(offset));
}

std::vector<std::uint64_t> MarkerOffsets() {
    std::vector<std::uint64_t> offsets;
    for (std::uint64_t at = 0; at + kMarkerSize <= kOverlaySize; at += kMarkerSpacing) {
        offsets.push_back(at);
    }
    offsets.push_back(kOverlaySize - kMarkerSize);
    return offsets;
}

// The expected overlay bytes from `from` on, `size` of them.
void ExpectedOverlay(std::uint64_t from, std::uint8_t* out, std::size_t size) {
    std::memset(out, 0, size);
    for (std::uint64_t marker : MarkerOffsets()) {
        if (marker + kMarkerSize <= from || marker >= from + size) continue;
        std::uint8_t bytes[kMarkerSize] = {};
        MarkerAt(marker, bytes);
        for (std::size_t i = 0; i < kMarkerSize; ++i) {
            if (marker + i >= from && marker + i < from + size) {
                out[static_cast<std::size_t>(marker + i - from)] = bytes[i];
            }
        }
    }
}

bool MakeLargeTarget(const std::string& source, const std::string& path) {
    if (!CopyFileA(source.c_str(), path.c_str(), FALSE)) return false;
    const FileCalls files;
    OpenFile file(path, GENERIC_READ | GENERIC_WRITE, 0, files);
    const auto sectionsEnd = SectionDataEnd(file);
    if (!sectionsEnd || !file.EndAndFlush(*sectionsEnd + kOverlaySize)) return false;
    for (std::uint64_t marker : MarkerOffsets()) {
        std::uint8_t bytes[kMarkerSize] = {};
        MarkerAt(marker, bytes);
        if (!file.WriteAt(*sectionsEnd + marker, bytes, kMarkerSize)) return false;
    }
    return true;
}

bool OverlayIsIntact(const OpenFile& file, std::uint64_t sectionsEnd) {
    if (file.Size() != sectionsEnd + kOverlaySize) return false;
    std::vector<std::uint8_t> read(kStreamChunkSize);
    std::vector<std::uint8_t> expected(kStreamChunkSize);
    for (std::uint64_t done = 0; done < kOverlaySize; done += kStreamChunkSize) {
        if (!file.ReadAt(sectionsEnd + done, read.data(), read.size())) return false;
        ExpectedOverlay(done, expected.data(), expected.size());
        if (read != expected) return false;
    }
    return true;
}

// The resources, read from a copy of the sections alone: loading the whole file as data would
// need more address space than a 32-bit process has in one piece.
bool HoldsParams(const OpenFile& file, std::uint64_t sectionsEnd, const std::string& sectionsPath) {
    {
        const FileCalls files;
        const HANDLE created = CreateFileA(sectionsPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE) return false;
        CloseHandle(created);
        OpenFile sections(sectionsPath, GENERIC_WRITE, 0, files);
        if (!CopyBytes(file, 0, sections, 0, sectionsEnd)) return false;
    }
    int found = 0;
    for (const Resource& r : ReadResources(sectionsPath)) {
        if (r.type.number != 10 || r.language != 0) continue;
        if (r.name.number == 300 && r.bytes == "first") ++found;
        if (r.name.number == 301 && r.bytes == "second") ++found;
    }
    return found == 2;
}

SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

// The directory and everything in it go when the run ends, however it ends.
class ScratchDirectory {
public:
    ScratchDirectory() {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        path_ = std::string(temp) + "instdll-large-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    ~ScratchDirectory() {
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileA((path_ + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(path_.c_str());
    }
    std::string File(const char* name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

std::string BesideThisProgram(const char* name) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string path(self);
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

int Run() {
    LoadedInstDll dll;
    std::string missing;
    if (!dll.ResolveAll(&missing)) {
        std::printf("large stamp: InstDLL.dll or %s missing\n", missing.c_str());
        return 1;
    }
    const ScratchDirectory scratch;
    const std::string target = scratch.File("large.exe");
    if (!MakeLargeTarget(BesideThisProgram("instdll_stamp_target.exe"), target)) {
        std::printf("large stamp: could not make the %llu-byte overlay\n",
                    static_cast<unsigned long long>(kOverlaySize));
        return 1;
    }
    const SIZE_T peakBefore = PeakWorkingSet();
    const DWORD started = GetTickCount();
    {
        MessageBoxWatcher watcher;
        dll.exports().WriteUserParams(target.c_str(), "first", "second");
    }
    const DWORD elapsed = GetTickCount() - started;
    const SIZE_T peak = PeakWorkingSet();

    const FileCalls files;
    const OpenFile stamped(target, GENERIC_READ, FILE_SHARE_READ, files);
    const auto sectionsEnd = SectionDataEnd(stamped);
    const bool params = sectionsEnd && HoldsParams(stamped, *sectionsEnd, scratch.File("s.exe"));
    const bool overlay = sectionsEnd && OverlayIsIntact(stamped, *sectionsEnd);
    std::printf(
        "large stamp: %llu-byte file, %llu-byte overlay, stamped in %lu ms; peak working set "
        "%lu KB before the call, %lu KB after (limit %lu KB); parameters %s, overlay %s\n",
        static_cast<unsigned long long>(stamped.Size()),
        static_cast<unsigned long long>(kOverlaySize), static_cast<unsigned long>(elapsed),
        static_cast<unsigned long>(peakBefore >> 10), static_cast<unsigned long>(peak >> 10),
        static_cast<unsigned long>(kPeakLimit >> 10), params ? "stored" : "MISSING",
        overlay ? "intact" : "DAMAGED");
    return params && overlay && peak < kPeakLimit ? 0 : 1;
}

}  // namespace
}  // namespace instdll::testing

int main() { return instdll::testing::Run(); }
