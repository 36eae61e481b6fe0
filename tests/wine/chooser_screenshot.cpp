// Shows one language's chooser for scripts/screenshots.sh: once the dialog shows its folder,
// writes the dialog's screen rectangle to <handshake>\ready, waits for <handshake>\done (the
// picture is taken), then cancels. Usage: chooser_screenshot <0|1|2> <handshake directory>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/wine/live_chooser.h"
#include "tests/wine/loaded_library.h"

using namespace instdll::testing;

namespace {

constexpr DWORD kPictureTimeoutMs = 60000;

bool WaitForFile(const std::string& path, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(100);
    }
    return false;
}

bool WriteRectangle(const std::string& path, const RECT& rect) {
    const std::string partial = path + ".partial";
    FILE* file = std::fopen(partial.c_str(), "wb");
    if (file == nullptr) return false;
    std::fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    std::fclose(file);
    return MoveFileA(partial.c_str(), path.c_str()) != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: chooser_screenshot <0|1|2> <handshake directory>\n");
        return 2;
    }
    const int language = std::atoi(argv[1]);
    const std::string handshake = argv[2];
    LoadedInstDll dll;
    std::string missing;
    if (!dll.ResolveAll(&missing)) {
        std::fprintf(stderr, "cannot resolve %s\n", missing.c_str());
        return 1;
    }
    const auto& e = dll.exports();
    const auto select = language == 0   ? e.SelectCatalog
                        : language == 1 ? e.SelectCatalogEng
                                        : e.SelectCatalogUkr;
    char path[260] = "C:\\Program Files";
    bool pictured = false;
    std::string problem;
    RunWithChooser([&] { return select(path); },
                   [&](LiveChooser& chooser) {
                       if (!chooser.WaitForShownFolder(path)) return;
                       Sleep(1000);  // let every control paint
                       pictured = WriteRectangle(handshake + "\\ready",
                                                 LiveChooser::Rect(chooser.dialog())) &&
                                  WaitForFile(handshake + "\\done", kPictureTimeoutMs);
                       chooser.Click(IDCANCEL);
                   },
                   problem);
    if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
    return pictured ? 0 : 1;
}
