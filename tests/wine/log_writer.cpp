// One of several processes that log to one file at once.
//   instdll_log_writer START READY COUNT  once released with the others (tests/wine/
//                                         peer_processes.h), calls exports whose records span
//                                         several lines, COUNT times each
//   instdll_log_writer hold PATH READY   takes the log's writer lock on PATH, sets the event
//                                        READY and keeps the lock until the test ends it: a
//                                        writer suspended while it holds the lock
#include <windows.h>

#include <cstdlib>
#include <string>

#include "log/export_log.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/peer_processes.h"

namespace {

int HoldTheLock(const char* path, const char* ready) {
    const HANDLE file = CreateFileA(path, FILE_APPEND_DATA | FILE_READ_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 4;
    OVERLAPPED lock{};
    lock.OffsetHigh = instdll::kWriterLockOffsetHigh;
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lock)) return 5;
    const HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready);
    if (event == nullptr || !SetEvent(event)) return 6;
    Sleep(INFINITE);
    return 0;
}

int WriteRecords(const char* start, const char* ready, int count) {
    instdll::testing::LoadedInstDll dll;
    std::string missing;
    if (!dll.ResolveAll(&missing)) return 3;
    if (!instdll::testing::SignalReady(ready) || !instdll::testing::AwaitStart(start)) return 7;
    // Longer than a log line, so that its record goes on over further lines.
    const std::string longName(1500, 'v');
    for (int i = 0; i < count; ++i) {
        dll.exports().CheckPrivileges();
        dll.exports().RegDBDeleteValue("Software\\InstDLLLogWriter", longName.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    if (std::string(argv[1]) == "hold") return HoldTheLock(argv[2], argv[3]);
    return WriteRecords(argv[1], argv[2], std::atoi(argv[3]));
}
