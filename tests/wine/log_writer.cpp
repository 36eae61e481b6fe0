// One of several processes that log to one file at once: calls exports whose records span
// several lines, `count` times each. Usage: instdll_log_writer COUNT
#include <cstdlib>
#include <string>

#include "tests/wine/loaded_library.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    instdll::testing::LoadedInstDll dll;
    std::string missing;
    if (!dll.ResolveAll(&missing)) return 3;
    // Longer than a log line, so that its record goes on over further lines.
    const std::string longName(1500, 'v');
    const int count = std::atoi(argv[1]);
    for (int i = 0; i < count; ++i) {
        dll.exports().CheckPrivileges();
        dll.exports().RegDBDeleteValue("Software\\InstDLLLogWriter", longName.c_str());
    }
    return 0;
}
