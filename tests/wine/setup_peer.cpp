// A setup program of its own, for the tests of several setups at once: loads InstDLL.dll, says
// it is ready and, once released, makes one call. Its exit code is the call's result.
//   instdll_setup_peer START READY title NAME TITLE   RegDBAddToTitles(NAME, TITLE)
//   instdll_setup_peer START READY prune DIR KEEP     InitV7Info() when started, then
//                                                     RemoveAllInCatExcept(DIR, KEEP)
//   instdll_setup_peer START READY hold machine|user  takes the library's machine or user lock
//                                                     and keeps it
// START names the manual-reset event that releases the peers, READY the semaphore that each
// releases once ready.
#include <windows.h>

#include <cstdio>
#include <string>

#include "registry/named_mutex_lock.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/peer_processes.h"

namespace {

using instdll::testing::AwaitStart;
using instdll::testing::InstDllExports;
using instdll::testing::LoadedInstDll;
using instdll::testing::SignalReady;

constexpr int kUsage = 200;
constexpr int kNotReady = 201;

// Holds the lock until the test ends this process: a holder that dies holding it.
int Hold(const char* ready, instdll::LockScope scope) {
    instdll::NamedMutexLock lock(scope);
    const instdll::LockAttempt held = lock.Acquire();
    if (!held.hold || !SignalReady(ready)) return kNotReady;
    Sleep(INFINITE);
    return 0;
}

int Call(const InstDllExports& dll, const std::string& action, const char* first,
         const char* second) {
    if (action == "title") return dll.RegDBAddToTitles(first, second);
    return dll.RemoveAllInCatExcept(first, second);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[3]) == "hold") {
        const std::string scope = argv[4];
        if (scope != "machine" && scope != "user") return kUsage;
        return Hold(argv[2],
                    scope == "machine" ? instdll::LockScope::Machine : instdll::LockScope::User);
    }
    if (argc != 6) return kUsage;
    const std::string action = argv[3];
    if (action != "title" && action != "prune") return kUsage;
    LoadedInstDll library;
    std::string missing;
    if (!library.ResolveAll(&missing)) {
        std::fprintf(stderr, "setup peer: %s missing\n", missing.c_str());
        return kNotReady;
    }
    const InstDllExports& dll = library.exports();
    if (action == "prune") dll.InitV7Info();
    if (!SignalReady(argv[2]) || !AwaitStart(argv[1])) return kNotReady;
    return Call(dll, action, argv[4], argv[5]);
}
