// RegDBDeleteValue, CheckPrivileges and WriteUserParams through the loaded DLL, and the seams
// of their Win32 shells, on Wine's registry, service manager, message box and resource updater.
#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "gtest/gtest.h"
#include "stamping/pe_overlay.h"
#include "stamping/user_params.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/registry_snapshot.h"
#include "utilities/administrator_check.h"

namespace instdll::testing {
namespace {

class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string missing;
        ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
    }
    const InstDllExports& exports() const { return dll.exports(); }

    LoadedInstDll dll;
};

// ---- RegDBDeleteValue

constexpr char kScratchKey[] = "Software\\InstDLLDeleteValueTest";

class DeleteValueTest : public ExportsTest {
protected:
    void SetUp() override {
        ExportsTest::SetUp();
        DeleteTree(HKEY_LOCAL_MACHINE, kScratchKey);
    }
    void TearDown() override { DeleteTree(HKEY_LOCAL_MACHINE, kScratchKey); }

    void Seed(std::initializer_list<const char*> names) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kScratchKey, &key), ERROR_SUCCESS);
        for (const char* name : names)
            RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>("x"), 1);
        RegCloseKey(key);
    }
};

TEST_F(DeleteValueTest, DeletesTheNamedValueOnly) {
    Seed({"", "keep", "gone"});
    const std::string path = std::string("[") + kScratchKey + "]\n";
    EXPECT_EQ(exports().RegDBDeleteValue(kScratchKey, "GONE"), 0);
    EXPECT_EQ(SnapshotTree(HKEY_LOCAL_MACHINE, kScratchKey),
              path + "   type 3 = x\n  keep type 3 = x\n");
    EXPECT_EQ(exports().RegDBDeleteValue(kScratchKey, ""), 0) << "the default value";
    EXPECT_EQ(SnapshotTree(HKEY_LOCAL_MACHINE, kScratchKey), path + "  keep type 3 = x\n");
    EXPECT_EQ(exports().RegDBDeleteValue(kScratchKey, "missing"), 0);
    EXPECT_EQ(SnapshotTree(HKEY_LOCAL_MACHINE, kScratchKey), path + "  keep type 3 = x\n");
}

TEST_F(DeleteValueTest, CreatesAMissingKeyEmpty) {
    const std::string deep = std::string(kScratchKey) + "\\New\\Deep";
    EXPECT_EQ(exports().RegDBDeleteValue(deep.c_str(), "v"), 0);
    EXPECT_EQ(SnapshotTree(HKEY_LOCAL_MACHINE, kScratchKey),
              std::string("[") + kScratchKey + "]\n[" + kScratchKey + "\\New]\n[" + deep + "]\n");
}

TEST_F(DeleteValueTest, LeavesNoHandleOpen) {
    Seed({"v"});
    const std::string sub = std::string(kScratchKey) + "\\Sub";
    // Whatever the first call sets up for good is not a leak.
    exports().RegDBDeleteValue(sub.c_str(), "v");
    const HKEY before = ProbeHandle();
    for (int i = 0; i < 50; ++i) {
        exports().RegDBDeleteValue(kScratchKey, "v");
        exports().RegDBDeleteValue(sub.c_str(), "v");
    }
    EXPECT_EQ(HandlesLeftSince(before), 0);
}

TEST_F(DeleteValueTest, NullArgumentsLeaveTheRootUsable) {
    EXPECT_EQ(exports().RegDBDeleteValue(nullptr, "InstDLLNoSuchValue"), 0);
    EXPECT_EQ(exports().RegDBDeleteValue(nullptr, nullptr), 0);
    HKEY software = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    RegCloseKey(software);
}

// ---- CheckPrivileges

TEST_F(ExportsTest, CheckPrivilegesGrantsWinesUser) { EXPECT_EQ(exports().CheckPrivileges(), 1); }

TEST(AdministratorCheck, RefusedServiceManagerMeansNoAdministrator) {
    std::vector<std::tuple<const char*, const char*, DWORD>> opens;
    int closes = 0;
    ServiceManagerCalls calls;
    calls.open = [&](const char* machine, const char* database, DWORD access) -> SC_HANDLE {
        opens.emplace_back(machine, database, access);
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    };
    calls.close = [&](SC_HANDLE) -> BOOL { return ++closes, TRUE; };
    EXPECT_FALSE(CallerIsAdministrator(calls));
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(std::get<0>(opens[0]), nullptr) << "the local machine";
    EXPECT_EQ(std::get<1>(opens[0]), nullptr) << "the active database";
    EXPECT_EQ(std::get<2>(opens[0]), 0xE0000000u);
    EXPECT_EQ(closes, 0);
}

TEST(AdministratorCheck, ClosesTheHandleItGot) {
    SC_HANDLE opened = nullptr;
    std::vector<SC_HANDLE> closed;
    ServiceManagerCalls calls;
    calls.open = [&](const char* machine, const char* database, DWORD access) {
        return opened = OpenSCManagerA(machine, database, access);
    };
    calls.close = [&](SC_HANDLE handle) {
        closed.push_back(handle);
        return CloseServiceHandle(handle);
    };
    EXPECT_TRUE(CallerIsAdministrator(calls));
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(closed, std::vector<SC_HANDLE>{opened});
}

}  // namespace
}  // namespace instdll::testing
