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
