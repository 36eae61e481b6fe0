// The in-memory registry is only worth testing against if it answers like the real one: the
// same script runs on both in one process and every line must agree.
#include "gtest/gtest.h"
#include "registry/memory_registry.h"
#include "registry/win32_registry.h"
#include "tests/common/registry_script.h"

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

}  // namespace
}  // namespace instdll::testing
