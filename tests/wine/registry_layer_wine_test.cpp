// The in-memory registry is only worth testing against if it answers like the real one: the
// same script runs on both in one process and every line must agree. And the snapshot that the
// other tests compare the real registry by must miss nothing.
#include <string>

#include "gtest/gtest.h"
#include "registry/memory_registry.h"
#include "registry/win32_registry.h"
#include "tests/common/registry_script.h"
#include "tests/wine/registry_snapshot.h"

namespace instdll::testing {
namespace {

TEST(RegistryLayer, InMemoryAnswersLikeTheRealRegistry) {
    MemoryRegistry memory;
    const auto expected = RunRegistryScript(SystemRegistry());
    const auto actual = RunRegistryScript(memory);
    ASSERT_GT(expected.size(), 50u);
    for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        EXPECT_EQ(i < expected.size() ? expected[i] : "<none>",
                  i < actual.size() ? actual[i] : "<none>")
            << "line " << i;
    }
    EXPECT_EQ(memory.OpenHandleCount(), 0u);
}

// Values larger than the walk's first buffer, and those after them, are in the snapshot.
TEST(RegistrySnapshot, ListsEveryValueHoweverLarge) {
    constexpr char kKey[] = "Software\\InstDLLSnapshotTest";
    DeleteTree(HKEY_CURRENT_USER, kKey);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kKey, &key), ERROR_SUCCESS);
    const std::string large(70000, 'L');
    const std::string larger(200000, 'M');
    for (const auto& [name, data] :
         {std::pair{"a", std::string("x")}, {"b", large}, {"c", larger}, {"d", std::string("y")}}) {
        RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
    }
    RegCloseKey(key);
    EXPECT_EQ(SnapshotTree(HKEY_CURRENT_USER, kKey),
              std::string("[") + kKey + "]\n" + "  a type 3 = x\n  b type 3 = " + large +
                  "\n  c type 3 = " + larger + "\n  d type 3 = y\n");
    DeleteTree(HKEY_CURRENT_USER, kKey);
}

}  // namespace
}  // namespace instdll::testing
