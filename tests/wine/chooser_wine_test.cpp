#include <windows.h>

#include <dlgs.h>

#include <cstdio>

#include "gtest/gtest.h"
#include "tests/wine/live_chooser.h"
#include "tests/wine/loaded_library.h"

namespace instdll::testing {
namespace {
std::string U8(const std::wstring& w){ char b[1024]={}; WideCharToMultiByte(CP_UTF8,0,w.c_str(),-1,b,1024,0,0); return b;}

TEST(Chooser, Explore) {
    LoadedInstDll dll;
    std::string missing;
    ASSERT_TRUE(dll.ResolveAll(&missing));
    char path[260] = "C:\\windows";
    std::printf("ACP %u\n", GetACP());
    const int result = RunWithChooser([&] { return dll.exports().SelectCatalogUkr(path); },
                                      [&](LiveChooser& c) {
        Sleep(1000);
        std::printf("title %s\n", U8(LiveChooser::Text(c.dialog())).c_str());
        std::printf("stc4 %s\n", U8(LiveChooser::Text(c.PlatformControl(stc4))).c_str());
        for (int id : {4206, 2, 4204}) std::printf("%d %s\n", id, U8(LiveChooser::Text(c.RowControl(id))).c_str());
        std::printf("shown %s\n", c.ShownFolder().c_str());
        for (int id : {stc3, edt1, cmb13, stc2, cmb1, chx1, IDOK, IDCANCEL, pshHelp}) {
            HWND w = c.PlatformControl(id);
            RECT r = LiveChooser::Rect(w);
            std::printf("ctl %d %p vis %d %ld %ld %ld %ld\n", id, (void*)w, IsWindowVisible(w), r.left, r.top, r.right, r.bottom);
        }
        for (int id : {4203, 4204, 1119, 4206, 2}) {
            RECT r = LiveChooser::Rect(c.RowControl(id));
            std::printf("row %d %ld %ld %ld %ld\n", id, r.left, r.top, r.right, r.bottom);
        }
        RECT r = LiveChooser::Rect(c.dialog());
        std::printf("dlg %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        r = LiveChooser::Rect(c.row());
        std::printf("rowwin %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        c.OpenFolder("C:\\users");
        std::printf("wait %d shown %s\n", c.WaitForShownFolder("C:\\users", 5000), c.ShownFolder().c_str());
        for (auto& n : c.ListedNamesOnceShown("Public", 5000)) std::printf("  %s\n", n.c_str());
        c.GoUp();
        std::printf("wait %d shown %s\n", c.WaitForShownFolder("C:\\", 5000), c.ShownFolder().c_str());
        c.GoUp();
        Sleep(1000);
        std::printf("shown '%s' enabled %d\n", c.ShownFolder().c_str(), IsWindowEnabled(c.RowControl(4206)));
        c.Click(4206);
        Sleep(500);
        std::printf("still %d\n", IsWindow(c.dialog()));
        c.OpenFolder("C:\\windows");
        std::printf("wait %d shown %s\n", c.WaitForShownFolder("C:\\windows", 5000), c.ShownFolder().c_str());
        c.Click(4206);
    });
    std::printf("result %d path %s\n", result, path);
}

}  // namespace
}  // namespace instdll::testing
