#include "registry/memory_registry.h"

#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "registry/registry_key.h"
#include "text/host_code_page.h"

namespace instdll {
namespace {

class MemoryRegistryTest : public ::testing::Test {
protected:
    RegistryKey Create(const char* path, RegHandle root = kHkeyLocalMachine) {
        RegistryKey key(registry);
        std::uint32_t disposition = 0;
        EXPECT_EQ(
            registry.RegCreateKeyExA(root, path, "", 0, kKeyAllAccess, key.put(), &disposition),
            kErrorSuccess);
        return key;
    }
    void SetText(RegHandle key, const char* name, const std::string& text) {
        registry.RegSetValueExA(key, name, kRegSz,
                                reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                static_cast<std::uint32_t>(text.size() + 1));
    }
    std::vector<std::string> SubkeyNames(RegHandle key) {
        std::vector<std::string> names;
        char name[256];
        for (std::uint32_t i = 0; registry.RegEnumKeyA(key, i, name, sizeof name) == 0; ++i) {
            names.push_back(name);
        }
        return names;
    }

    MemoryRegistry registry;
};

TEST_F(MemoryRegistryTest, SubkeysEnumerateInUpperCasedNameOrder) {
    auto root = Create("Software\\Test");
    for (const char* name : {"beta", "_x", "Alpha", "zk:b", "Zk:A", "ALPHA"})
        Create(name, root.get());
    EXPECT_EQ(SubkeyNames(root.get()),
              (std::vector<std::string>{"Alpha", "beta", "Zk:A", "zk:b", "_x"}));
}

TEST_F(MemoryRegistryTest, ValuesEnumerateInCreationOrderAndNamesIgnoreCase) {
    auto key = Create("Software\\Test");
    SetText(key.get(), "b", "1");
    SetText(key.get(), "A", "2");
    SetText(key.get(), "a", "3");  // the same value as "A": replaced in place
    std::vector<std::string> seen;
    for (std::uint32_t i = 0;; ++i) {
        char name[256];
        std::uint8_t data[256];
        std::uint32_t nameSize = sizeof name;
        std::uint32_t dataSize = sizeof data;
        const long result =
            registry.RegEnumValueA(key.get(), i, name, &nameSize, nullptr, data, &dataSize);
        if (result == kErrorNoMoreItems) break;
        ASSERT_EQ(result, kErrorSuccess);
        seen.push_back(std::string(name) + "=" + reinterpret_cast<char*>(data));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"b=1", "A=3"}));
}

TEST_F(MemoryRegistryTest, ReportsMoreDataWithoutWritingTheBuffer) {
    auto key = Create("Software\\Test");
    SetText(key.get(), "v", std::string(256, 'x'));  // 257 bytes with the zero
    std::uint8_t data[256];
    std::memset(data, 0xAB, sizeof data);
    std::uint32_t size = sizeof data;
    EXPECT_EQ(registry.RegQueryValueExA(key.get(), "v", nullptr, data, &size), kErrorMoreData);
    EXPECT_EQ(size, 257u);
    EXPECT_EQ(data[0], 0xAB);

    Create(std::string(255, 'k').c_str(), key.get());
    char name[255];
    EXPECT_EQ(registry.RegEnumKeyA(key.get(), 0, name, sizeof name), kErrorMoreData);
    char fits[256];
    EXPECT_EQ(registry.RegEnumKeyA(key.get(), 0, fits, sizeof fits), kErrorSuccess);
    EXPECT_EQ(registry.RegEnumKeyA(key.get(), 1, fits, sizeof fits), kErrorNoMoreItems);
}

TEST_F(MemoryRegistryTest, ErrorCodesMatchWin32) {
    RegistryKey key(registry);
    EXPECT_EQ(registry.RegOpenKeyExA(kHkeyLocalMachine, "Missing", 0, kKeyAllAccess, key.put()),
              kErrorFileNotFound);
    auto parent = Create("Software\\Parent\\Child");
    EXPECT_EQ(registry.RegDeleteKeyA(kHkeyLocalMachine, "Software\\Parent"), kErrorAccessDenied);
    EXPECT_EQ(registry.RegQueryValueExA(parent.get(), "none", nullptr, nullptr, nullptr),
              kErrorFileNotFound);
    EXPECT_EQ(registry.RegDeleteValueA(parent.get(), "none"), kErrorFileNotFound);
    EXPECT_EQ(registry.RegCloseKey(0x4242), kErrorInvalidHandle);
    EXPECT_EQ(registry.RegDeleteKeyA(kHkeyLocalMachine, "software\\PARENT\\child"), kErrorSuccess);
    std::uint32_t type = 0;
    EXPECT_EQ(registry.RegQueryValueExA(parent.get(), "", &type, nullptr, nullptr),
              kErrorKeyDeleted);
}

TEST_F(MemoryRegistryTest, CreateMakesMissingParentsAndReportsDisposition) {
    RegistryKey key(registry);
    std::uint32_t disposition = 0;
    ASSERT_EQ(registry.RegCreateKeyExA(kHkeyCurrentUser, "A\\B\\C", "", 0, kKeyAllAccess, key.put(),
                                       &disposition),
              kErrorSuccess);
    EXPECT_EQ(disposition, kRegCreatedNewKey);
    RegistryKey again(registry);
    ASSERT_EQ(registry.RegCreateKeyExA(kHkeyCurrentUser, "a\\b\\c", "", 0, kKeyAllAccess,
                                       again.put(), &disposition),
              kErrorSuccess);
    EXPECT_EQ(disposition, kRegOpenedExistingKey);
    EXPECT_FALSE(OpenKey(registry, kHkeyLocalMachine, "A").is_open()) << "roots are separate";
}

TEST_F(MemoryRegistryTest, CountsOpenHandlesThroughTheirOwners) {
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
    {
        auto a = Create("Software\\A");
        auto b = OpenKey(registry, kHkeyLocalMachine, "Software\\A");
        EXPECT_TRUE(b.is_open());
        EXPECT_EQ(registry.OpenHandleCount(), 2u);
        RegistryKey moved = std::move(b);
        EXPECT_EQ(registry.OpenHandleCount(), 2u);
    }
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST_F(MemoryRegistryTest, InjectedFailuresHitTheChosenCall) {
    auto key = Create("Software\\A");
    registry.FailOperation(RegOperation::OpenKeyEx, kErrorAccessDenied, 1);
    EXPECT_TRUE(OpenKey(registry, kHkeyLocalMachine, "Software\\A").is_open());
    EXPECT_FALSE(OpenKey(registry, kHkeyLocalMachine, "Software\\A").is_open());
    EXPECT_FALSE(OpenKey(registry, kHkeyLocalMachine, "Software\\A").is_open());
    registry.ClearFailures();
    EXPECT_TRUE(OpenKey(registry, kHkeyLocalMachine, "Software\\A").is_open());
    EXPECT_EQ(registry.CallCount(RegOperation::OpenKeyEx), 4u);
}

// 0x95 0x5C is one character in code page 932: with the code page, the path names one key under
// "A"; byte by byte, two.
TEST(MemoryRegistryPaths, ASeparatorIsACharacterOfTheCodePageNeverATrailByte) {
    const HostCodePage japanese(932);
    for (const AnsiCodePage* codePage :
         {static_cast<const AnsiCodePage*>(&japanese), static_cast<const AnsiCodePage*>(nullptr)}) {
        MemoryRegistry registry(codePage);
        RegistryKey created(registry);
        ASSERT_EQ(registry.RegCreateKeyA(kHkeyLocalMachine, "A\\Zk:\x95\\x", created.put()),
                  kErrorSuccess);
        RegistryKey parent(registry);
        ASSERT_EQ(registry.RegOpenKeyExA(kHkeyLocalMachine, "A", 0, kKeyAllAccess, parent.put()),
                  kErrorSuccess);
        char name[256] = {};
        ASSERT_EQ(registry.RegEnumKeyA(parent.get(), 0, name, sizeof name), kErrorSuccess);
        EXPECT_EQ(std::string(name), codePage != nullptr ? "Zk:\x95\\x" : "Zk:\x95");
    }
}

TEST_F(MemoryRegistryTest, CreateKeyWithEmptyPathHandsBackTheSameHandle) {
    auto key = Create("Software\\A");
    RegHandle same = 0;
    EXPECT_EQ(registry.RegCreateKeyA(key.get(), "", &same), kErrorSuccess);
    EXPECT_EQ(same, key.get());
}

}  // namespace
}  // namespace instdll
