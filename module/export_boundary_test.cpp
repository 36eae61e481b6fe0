// Out of memory inside the registry-based subsystems: the export answers its failure result,
// no key stays open, and the next call does the whole work.
#include "module/export_boundary.h"

#include <functional>
#include <string>

#include "catalog/installed_components.h"
#include "gtest/gtest.h"
#include "registry/memory_registry.h"
#include "tests/common/catalog_seed.h"
#include "tests/common/title_list.h"
#include "text/host_code_page.h"
#include "utilities/small_utilities.h"
#include "utilities/titles.h"

namespace instdll {
namespace {

constexpr int kTitlesOutOfMemory = 8;  // ERROR_NOT_ENOUGH_MEMORY

// One subsystem behind its export: its seeded registry, its work, what it answers on failure.
struct Subsystem {
    const char* name;
    std::function<void(MemoryRegistry&)> seed;
    std::function<int(MemoryRegistry&, InstalledComponents&)> work;
    int failure;
    std::size_t keysKept;  // open after a call
};

void SeedCatalogue(MemoryRegistry& registry) {
    ASSERT_TRUE(testing::SeedLoggedComponent(registry, "Zk:A", "C:\\P\\", "A"));
    ASSERT_TRUE(testing::SeedLoggedComponent(registry, "Zk:B", "C:\\P\\", "B"));
    ASSERT_TRUE(testing::SeedProductComponent(registry, "Zk:A Net", "Bin", "C:\\P\\a.exe"));
}

const Subsystem kSubsystems[] = {
    {"catalogue", SeedCatalogue,
     [](MemoryRegistry&, InstalledComponents& components) { return components.InitV7Info(); }, 0,
     2},
    {"titles",
     [](MemoryRegistry& registry) {
         testing::SeedTitles(registry, {{"one", kRegSz, testing::Sz("Title")},
                                        {"two", kRegSz, testing::Sz("Title #1")}});
     },
     [](MemoryRegistry& registry, InstalledComponents&) {
         UnsharedState unshared;
         return static_cast<int>(AddToTitles(registry, unshared, "three", "Title"));
     },
     kTitlesOutOfMemory, 0},
    {"machine value",
     [](MemoryRegistry& registry) {
         ASSERT_TRUE(testing::SeedText(registry, "Software\\Zk\\Scratch", "gone", "x"));
     },
     [](MemoryRegistry& registry, InstalledComponents&) {
         DeleteMachineValue(registry, "Software\\Zk\\Scratch", "gone");
         return 0;
     },
     0, 0},
};

// Every operation but the close, which runs in destructors and cannot throw.
constexpr RegOperation kThrowingOperations[] = {
    RegOperation::OpenKeyEx,  RegOperation::CreateKeyEx, RegOperation::CreateKey,
    RegOperation::EnumKey,    RegOperation::EnumValue,   RegOperation::QueryValueEx,
    RegOperation::SetValueEx, RegOperation::DeleteKey,   RegOperation::DeleteValue,
};

TEST(ExportBoundary, OutOfMemoryAtEveryRegistryCallAnswersTheFailureAndLeavesTheModuleUsable) {
    const HostCodePage codePage{1252};
    UnsharedState unshared;
    for (const Subsystem& subsystem : kSubsystems) {
        MemoryRegistry clean;
        subsystem.seed(clean);
        std::size_t seedingCalls[kRegOperationCount];
        for (RegOperation operation : kThrowingOperations) {
            seedingCalls[static_cast<std::size_t>(operation)] = clean.CallCount(operation);
        }
        InstalledComponents cleanComponents{clean, codePage, unshared};
        const int cleanResult = subsystem.work(clean, cleanComponents);

        for (RegOperation operation : kThrowingOperations) {
            const std::size_t workCalls =
                clean.CallCount(operation) - seedingCalls[static_cast<std::size_t>(operation)];
            for (unsigned successes = 0; successes < workCalls; ++successes) {
                SCOPED_TRACE(std::string(subsystem.name) + ", operation " +
                             std::to_string(static_cast<int>(operation)) + " after " +
                             std::to_string(successes));
                MemoryRegistry registry;
                subsystem.seed(registry);
                InstalledComponents components{registry, codePage, unshared};
                registry.RunOutOfMemory(operation, successes);
                EXPECT_EQ(AtExportBoundary(subsystem.failure,
                                           [&] { return subsystem.work(registry, components); }),
                          subsystem.failure);
                EXPECT_LE(registry.OpenHandleCount(), subsystem.keysKept);

                registry.ClearFailures();
                EXPECT_EQ(subsystem.work(registry, components), cleanResult);
                EXPECT_EQ(registry.OpenHandleCount(), subsystem.keysKept);
                EXPECT_EQ(components.catalog().size(), cleanComponents.catalog().size());
            }
        }
    }
}

}  // namespace
}  // namespace instdll
