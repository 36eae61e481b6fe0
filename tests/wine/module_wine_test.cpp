#include <cstring>

#include "gtest/gtest.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/registry_snapshot.h"

namespace instdll::testing {
namespace {

TEST(Module, EveryExportResolvesByName) {
    LoadedInstDll dll;
    ASSERT_TRUE(dll.loaded()) << "LoadLibrary failed: " << GetLastError();
    std::string missing;
    EXPECT_TRUE(dll.ResolveAll(&missing)) << "missing export " << missing;
}

TEST(Module, LoadsAndUnloadsAHundredTimesWithoutTouchingTheRegistry) {
    const std::string machineBefore = SnapshotTree(HKEY_LOCAL_MACHINE, "Software");
    const std::string userBefore = SnapshotTree(HKEY_CURRENT_USER, "Software");
    for (int i = 0; i < 100; ++i) {
        LoadedInstDll dll;
        ASSERT_TRUE(dll.loaded()) << "load " << i << " failed: " << GetLastError();
        ASSERT_EQ(GetModuleHandleA("InstDLL.dll"), dll.module());
    }
    EXPECT_EQ(GetModuleHandleA("InstDLL.dll"), nullptr) << "the last FreeLibrary left it loaded";
    EXPECT_EQ(SnapshotTree(HKEY_LOCAL_MACHINE, "Software"), machineBefore);
    EXPECT_EQ(SnapshotTree(HKEY_CURRENT_USER, "Software"), userBefore);
}

void LoadInitAndUnload() {
    LoadedInstDll dll;
    std::string missing;
    ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
    // The uninstall root exists in every prefix, so at least that key is kept open.
    ASSERT_EQ(dll.exports().InitV7Info(), 1);
}

constexpr char kRuntimeLeftoversFile[] = "module/runtime_semaphores.cpp";

TEST(Module, LoadsCallsAndUnloadsLeaveNoHandle) {
    // Wine leaks a handle whenever comdlg32 and the shell libraries behind it load afresh; a
    // setup program keeps them loaded, and so does this test, so that only InstDLL's own count.
    ASSERT_NE(LoadLibraryA("comdlg32.dll"), nullptr);
    LoadInitAndUnload();
    const HKEY before = ProbeHandle();
    ASSERT_NE(before, nullptr);
    constexpr int kLoads = 50;
    for (int i = 0; i < kLoads; ++i) LoadInitAndUnload();
    const long leaked = HandlesLeftSince(before);
    EXPECT_EQ(leaked, 0) << leaked << " handles left over " << kLoads
                         << " loads: the catalogue's two keys, or what the statically linked "
                            "runtime keeps per load, which "
                         << kRuntimeLeftoversFile << " releases";
}

TEST(Module, FindBeforeInitSeesAnEmptyCatalogue) {
    LoadedInstDll dll;
    std::string missing;
    ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
    char logFile[256];
    std::memset(logFile, 'X', sizeof logFile);
    EXPECT_EQ(dll.exports().FindISUInCatalog("C:\\", logFile), 0);
    EXPECT_EQ(logFile[0], '\0');
    EXPECT_EQ(logFile[1], 'X') << "wrote past the terminating zero";
}

TEST(Module, NullArgumentsNeverCrash) {
    LoadedInstDll dll;
    std::string missing;
    ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
    const auto& e = dll.exports();
    EXPECT_EQ(e.FindISUInCatalog(nullptr, nullptr), 0);
    EXPECT_EQ(e.RemoveAllInCatExcept(nullptr, nullptr), 1);
    EXPECT_EQ(e.SelectCatalog(nullptr), 0);
    EXPECT_EQ(e.SelectCatalogEng(nullptr), 0);
    EXPECT_EQ(e.SelectCatalogUkr(nullptr), 0);
}

}  // namespace
}  // namespace instdll::testing
