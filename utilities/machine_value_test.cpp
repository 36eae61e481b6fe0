#include <optional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "registry/memory_registry.h"
#include "registry/registry_key.h"
#include "utilities/small_utilities.h"

namespace instdll {
namespace {

class DeleteMachineValueTest : public ::testing::Test {
protected:
    void Seed(const char* path, std::initializer_list<const char*> names) {
        RegistryKey key(registry);
        registry.RegCreateKeyA(kHkeyLocalMachine, path, key.put());
        for (const char* name : names) {
            registry.RegSetValueExA(key.get(), name, kRegSz,
                                    reinterpret_cast<const std::uint8_t*>("x"), 2);
        }
    }
    // Value names of the key, or none when it is missing.
    std::optional<std::vector<std::string>> ValueNames(const char* path) {
        RegistryKey key = OpenKey(registry, kHkeyLocalMachine, path);
        if (!key.is_open()) return std::nullopt;
        std::vector<std::string> names;
        char name[256];
        std::uint32_t nameSize = sizeof name;
        for (std::uint32_t i = 0; registry.RegEnumValueA(key.get(), i, name, &nameSize, nullptr,
                                                         nullptr, nullptr) == kErrorSuccess;
             ++i, nameSize = sizeof name) {
            names.emplace_back(name);
        }
        return names;
    }

    MemoryRegistry registry;
};

using Names = std::vector<std::string>;

TEST_F(DeleteMachineValueTest, DeletesOnlyTheNamedValue) {
    Seed("Software\\A", {"", "keep", "gone"});
    DeleteMachineValue(registry, "Software\\A", "GONE");
    EXPECT_EQ(ValueNames("Software\\A"), (Names{"", "keep"}));
    DeleteMachineValue(registry, "Software\\A", "");
    EXPECT_EQ(ValueNames("Software\\A"), (Names{"keep"}));
    DeleteMachineValue(registry, "Software\\A", "missing");
    DeleteMachineValue(registry, "Software\\A", nullptr);
    EXPECT_EQ(ValueNames("Software\\A"), (Names{"keep"}));
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST_F(DeleteMachineValueTest, CreatesAMissingKeyEmpty) {
    DeleteMachineValue(registry, "Software\\New\\Deep", "v");
    EXPECT_EQ(ValueNames("Software\\New\\Deep"), Names{});
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST_F(DeleteMachineValueTest, EmptyPathWorksOnTheRootAndNeverClosesIt) {
    for (const char* path : {"", static_cast<const char*>(nullptr)}) {
        Seed("", {"rootValue"});
        const std::size_t closesBefore = registry.CallCount(RegOperation::CloseKey);
        DeleteMachineValue(registry, path, "rootValue");
        EXPECT_EQ(registry.CallCount(RegOperation::CloseKey), closesBefore);
        EXPECT_EQ(ValueNames(""), Names{});
    }
}

TEST_F(DeleteMachineValueTest, FailedOpenDeletesNothing) {
    Seed("Software\\A", {"v"});
    registry.FailOperation(RegOperation::CreateKey, kErrorAccessDenied);
    DeleteMachineValue(registry, "Software\\A", "v");
    registry.ClearFailures();
    EXPECT_EQ(registry.CallCount(RegOperation::DeleteValue), 0u);
    EXPECT_EQ(ValueNames("Software\\A"), (Names{"v"}));
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace instdll
