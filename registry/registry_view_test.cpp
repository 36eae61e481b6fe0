#include "registry/registry_view.h"

#include <gtest/gtest.h>

#include "registry/memory_registry.h"
#include "registry/registry_key.h"
#include "registry/registry_paths.h"

namespace instdll {
namespace {

constexpr RegistryView kWow64 = RegistryView::For(32, true);

// Each way, so that a key named in one place is found in the other.
TEST(RegistryView, MapsTheDllsPathsToTheMachinesAndBack) {
    const struct {
        RegistryView view;
        RegHandle root;
        const char* dllPath;
        const char* machinePath;
    } cases[] = {
        {kWow64, kHkeyLocalMachine, kProductKeyPath, "SOFTWARE\\WOW6432Node\\Zk\\Zkv7\\7.5"},
        {kWow64, kHkeyLocalMachine, kUninstallRootPath,
         "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
        {kWow64, kHkeyLocalMachine, "software\\Zk", "software\\WOW6432Node\\Zk"},
        {kWow64, kHkeyLocalMachine, "SOFTWARE", "SOFTWARE\\WOW6432Node"},
        {kWow64, kHkeyLocalMachine, "SYSTEM\\Zk", "SYSTEM\\Zk"},
        {kWow64, kHkeyCurrentUser, kTitlesPath, kTitlesPath},
        {kWow64, kHkeyCurrentUser, "SOFTWARE\\Zk", "SOFTWARE\\Zk"},
        {RegistryView::For(32, false), kHkeyLocalMachine, kProductKeyPath, kProductKeyPath},
        {RegistryView::For(64, true), kHkeyLocalMachine, kProductKeyPath, kProductKeyPath},
        {RegistryView::For(64, true), kHkeyLocalMachine, "SOFTWARE\\WOW6432Node\\Zk",
         "SOFTWARE\\WOW6432Node\\Zk"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.dllPath);
        EXPECT_EQ(row.view.MachinePath(row.root, row.dllPath), row.machinePath);
        EXPECT_EQ(row.view.DllPath(row.root, row.machinePath), row.dllPath);
    }
}

// A 32-bit program that names WOW6432Node lands in the same key; the native view's own keys
// are out of its sight.
TEST(RegistryView, RedirectedViewSeesOnlyWow6432Node) {
    EXPECT_EQ(kWow64.MachinePath(kHkeyLocalMachine, "SOFTWARE\\Wow6432Node\\Zk"),
              "SOFTWARE\\Wow6432Node\\Zk");
    EXPECT_EQ(kWow64.DllPath(kHkeyLocalMachine, "SOFTWARE\\wow6432node\\Zk\\Zkv7"),
              "SOFTWARE\\Zk\\Zkv7");
    EXPECT_EQ(kWow64.DllPath(kHkeyLocalMachine, "SOFTWARE\\Zk\\Zkv7"), std::nullopt);
    EXPECT_EQ(kWow64.DllPath(kHkeyCurrentUser, "Software\\Zk"), "Software\\Zk");
}

TEST(ViewedRegistry, OpensCreatesAndDeletesWhereTheMachineStoresTheKey) {
    MemoryRegistry machine;
    ViewedRegistry seen(machine, kWow64);
    {
        RegistryKey created(seen);
        std::uint32_t disposition = 0;
        ASSERT_EQ(seen.RegCreateKeyExA(kHkeyLocalMachine, "SOFTWARE\\Zk\\Zkv7\\7.5\\Zk:Core", "", 0,
                                       kKeyAllAccess, created.put(), &disposition),
                  kErrorSuccess);
        RegistryKey user(seen);
        ASSERT_EQ(seen.RegCreateKeyA(kHkeyCurrentUser, kTitlesPath, user.put()), kErrorSuccess);
    }
    EXPECT_TRUE(OpenKey(machine, kHkeyLocalMachine, "SOFTWARE\\WOW6432Node\\Zk\\Zkv7\\7.5\\Zk:Core")
                    .is_open());
    EXPECT_FALSE(OpenKey(machine, kHkeyLocalMachine, "SOFTWARE\\Zk").is_open());
    EXPECT_TRUE(OpenKey(machine, kHkeyCurrentUser, kTitlesPath).is_open());
    EXPECT_TRUE(OpenKey(seen, kHkeyLocalMachine, kProductKeyPath).is_open());
    EXPECT_EQ(seen.RegDeleteKeyA(kHkeyLocalMachine, "SOFTWARE\\Zk\\Zkv7\\7.5\\Zk:Core"),
              kErrorSuccess);
    EXPECT_FALSE(
        OpenKey(machine, kHkeyLocalMachine, "SOFTWARE\\WOW6432Node\\Zk\\Zkv7\\7.5\\Zk:Core")
            .is_open());
    EXPECT_EQ(machine.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace instdll
