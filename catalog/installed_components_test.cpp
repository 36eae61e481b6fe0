#include "catalog/installed_components.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "registry/memory_registry.h"
#include "tests/common/catalog_seed.h"
#include "tests/common/observed_lock.h"
#include "text/host_code_page.h"

namespace instdll {
namespace {

using testing::Bytes;
using testing::NumberBytes;
using testing::RawValue;
using testing::TextBytes;

constexpr std::size_t kModuleKeys = 2;

std::string Describe(const ComponentRecord& r) {
    return r.ComponentKey + "|" + r.Folder + "|" + r.PathDir + "|" + r.PathFile + "|" +
           std::to_string(r.RegMethod) + "|" + r.UninstallKey + "|" + r.LogDir + "|" + r.LogFile +
           "|" + r.UninstallArgs + "|" + r.CustomDll;
}

class InstalledComponentsTest : public ::testing::Test {
protected:
    std::vector<std::string> Keys() const {
        std::vector<std::string> keys;
        for (const auto& [key, record] : components.catalog()) keys.push_back(key);
        return keys;
    }
    std::string Entry(const std::string& key) const {
        for (const auto& [entryKey, record] : components.catalog()) {
            if (entryKey == key) return Describe(record);
        }
        return "<none>";
    }
    void SeedRoots() {
        ASSERT_TRUE(testing::SeedKey(registry, kProductKeyPath));
        ASSERT_TRUE(testing::SeedKey(registry, kUninstallRootPath));
    }
    void SeedLoggedComponent(const std::string& name, const std::string& logDir,
                             const std::string& arguments) {
        ASSERT_TRUE(testing::SeedLoggedComponent(registry, name, logDir, arguments));
    }
    std::string Find(const char* directory) {
        char buffer[300];
        std::memset(buffer, 'X', sizeof buffer);
        const int result = components.FindISUInCatalog(directory, buffer);
        const std::string found(buffer, strnlen(buffer, sizeof buffer));
        EXPECT_EQ(buffer[found.size() + 1], 'X') << "written past the terminating zero";
        EXPECT_EQ(result, found.empty() ? 0 : 1);
        return found;
    }
    bool Exists(const std::string& path) { return testing::KeyExists(registry, path); }

    MemoryRegistry registry;
    HostCodePage codePage{1252};
    UnsharedState sharedState;
    InstalledComponents components{registry, codePage, sharedState};
};

TEST_F(InstalledComponentsTest, MergesTheProductKeyIntoTheUninstallList) {
    using testing::SeedProductComponent;
    using testing::SeedUninstallEntry;
    const std::string command = testing::UninstallCommand("D:\\A\\", "u1.isu", "X");
    ASSERT_TRUE(SeedUninstallEntry(registry, "Zk:Sample", "Zk:Sample 7.5 Net", command));
    ASSERT_TRUE(SeedProductComponent(registry, "Zk:Sample Net", "Bin", "C:\\Z\\s.exe", 2));
    // Keys meet byte for byte only: this one makes an entry of its own.
    ASSERT_TRUE(
        SeedUninstallEntry(registry, "zK:Tool", "Zk:Tool 7.5 X", testing::kFamilyUninstaller));
    ASSERT_TRUE(SeedProductComponent(registry, "ZK:TOOL X", "Tools", "t.dll"));
    // The first of two entries with the same display name wins.
    ASSERT_TRUE(SeedUninstallEntry(registry, "Zk:Twin1", "Zk:Twin", "first"));
    ASSERT_TRUE(SeedUninstallEntry(registry, "Zk:Twin2", "Zk:Twin", "second -c x"));
    // No prefix, or too short for one: never taken.
    ASSERT_TRUE(SeedUninstallEntry(registry, "Other", "Zk:Other", testing::kFamilyUninstaller));
    ASSERT_TRUE(SeedUninstallEntry(registry, "Zk", "Zk:Short", testing::kFamilyUninstaller));
    ASSERT_TRUE(SeedProductComponent(registry, "Components", "C", "c.exe"));
    ASSERT_TRUE(testing::SeedCounter(registry, kRegDword, NumberBytes(4)));

    EXPECT_EQ(components.InitV7Info(), 1);
    EXPECT_EQ(Keys(),
              (std::vector<std::string>{"ZK:TOOL X", "Zk:Sample Net", "Zk:Tool X", "Zk:Twin"}));
    EXPECT_EQ(Entry("Zk:Sample Net"),
              "Zk:Sample Net|Bin|C:\\Z\\|s.exe|2|Zk:Sample|D:\\A\\|u1.isu|X|D:\\A\\uninst.dll");
    EXPECT_EQ(Entry("ZK:TOOL X"), "ZK:TOOL X|Tools||t.dll|0|||||");
    EXPECT_EQ(Entry("Zk:Tool X"), "||||0|zK:Tool||||");
    EXPECT_EQ(Entry("Zk:Twin"), "||||0|Zk:Twin1||||");
    EXPECT_EQ(registry.OpenHandleCount(), kModuleKeys);
}

TEST_F(InstalledComponentsTest, AnswersOneWhenEitherKeyOpens) {
    EXPECT_EQ(components.InitV7Info(), 0);
    EXPECT_TRUE(components.catalog().empty());
    EXPECT_EQ(registry.OpenHandleCount(), 0u);

    ASSERT_TRUE(testing::SeedProductComponent(registry, "Zk:P", "F", "p.exe"));
    EXPECT_EQ(components.InitV7Info(), 1);
    EXPECT_EQ(Keys(), (std::vector<std::string>{"Zk:P"}));
    EXPECT_EQ(registry.OpenHandleCount(), 1u);

    ASSERT_TRUE(testing::SeedUninstallEntry(registry, "Zk:U", "Zk:U", testing::kFamilyUninstaller));
    registry.FailOperation(RegOperation::OpenKeyEx, kErrorAccessDenied);
    EXPECT_EQ(components.InitV7Info(), 0);
    EXPECT_EQ(Keys(), (std::vector<std::string>{"Zk:P"}));
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST_F(InstalledComponentsTest, RepeatedInitKeepsTwoHandlesAndRefreshesProductFields) {
    ASSERT_TRUE(testing::SeedUninstallEntry(registry, "Zk:A", "Zk:A",
                                            testing::UninstallCommand("C:\\A\\", "a.isu", "X")));
    ASSERT_TRUE(testing::SeedProductComponent(registry, "Zk:A", "Old", "C:\\a.exe", 1));
    EXPECT_EQ(components.InitV7Info(), 1);
    EXPECT_EQ(registry.OpenHandleCount(), kModuleKeys);

    ASSERT_TRUE(testing::SeedUninstallEntry(registry, "Zk:A", "Zk:A", "changed"));
    ASSERT_TRUE(
        testing::SeedText(registry, testing::ProductComponentPath("Zk:A"), kFolderValue, "New"));
    ASSERT_TRUE(testing::SeedValue(registry, testing::ProductComponentPath("Zk:A"), kRegMethodValue,
                                   kRegBinary, Bytes(8, 1)));
    ASSERT_TRUE(testing::SeedProductComponent(registry, "Zk:B", "B", "b.exe"));
    for (int call = 0; call < 3; ++call) {
        EXPECT_EQ(components.InitV7Info(), 1);
        EXPECT_EQ(registry.OpenHandleCount(), kModuleKeys);
    }
    EXPECT_EQ(Keys(), (std::vector<std::string>{"Zk:A", "Zk:B"}));
    EXPECT_EQ(Entry("Zk:A"), "Zk:A|New|C:\\|a.exe|0|Zk:A|C:\\A\\|a.isu|X|C:\\A\\uninst.dll");
}

// Hostile data in a value the scans read as text: what each read gives, if anything.
struct TextValueCase {
    const char* what;
    std::uint32_t type;
    Bytes data;
    std::optional<std::string> text;
};

std::vector<TextValueCase> TextValueCases() {
    const std::string name = "Zk:N";
    return {
        {"terminated", kRegSz, TextBytes(name), name},
        {"without zero", kRegSz, Bytes(name.begin(), name.end()), name},
        {"255 bytes and zero", kRegSz, TextBytes(name + std::string(251, 'x')),
         name + std::string(251, 'x')},
        {"256 bytes, no zero", kRegSz, Bytes(256, 'y'), std::string(256, 'y')},
        {"256 bytes and zero", kRegSz, TextBytes(std::string(256, 'y')), std::nullopt},
        {"257 bytes, no zero", kRegBinary, Bytes(257, 'y'), std::nullopt},
        {"zero inside", kRegBinary, {'Z', 'k', ':', 0, 'x'}, "Zk:"},
        {"DWORD", kRegDword, NumberBytes(0x4B5A), "ZK"},
        {"empty binary", kRegBinary, {}, ""},
    };
}

TEST_F(InstalledComponentsTest, DisplayNameIsTakenWithinTheBytesRead) {
    for (const TextValueCase& c : TextValueCases()) {
        MemoryRegistry fresh;
        InstalledComponents catalogue(fresh, codePage, sharedState);
        const std::string path = testing::UninstallEntryPath("Zk:E");
        ASSERT_TRUE(testing::SeedValue(fresh, path, kDisplayNameValue, c.type, c.data));
        ASSERT_TRUE(
            testing::SeedText(fresh, path, kUninstallStringValue, testing::kFamilyUninstaller));
        EXPECT_EQ(catalogue.InitV7Info(), 1);
        std::optional<std::string> key;
        if (!catalogue.catalog().empty()) key = catalogue.catalog().begin()->first;
        EXPECT_EQ(key, c.text) << c.what;
        EXPECT_EQ(fresh.OpenHandleCount(), 1u) << c.what;
    }
}

TEST_F(InstalledComponentsTest, ProductPathIsTakenWithinTheBytesRead) {
    for (const TextValueCase& c : TextValueCases()) {
        MemoryRegistry fresh;
        InstalledComponents catalogue(fresh, codePage, sharedState);
        const std::string path = testing::ProductComponentPath("Zk:P");
        ASSERT_TRUE(testing::SeedText(fresh, path, kFolderValue, "F"));
        ASSERT_TRUE(testing::SeedValue(fresh, path, kPathValue, c.type, c.data));
        EXPECT_EQ(catalogue.InitV7Info(), 1);
        std::optional<std::string> file;
        if (!catalogue.catalog().empty()) file = catalogue.catalog().begin()->second.PathFile;
        EXPECT_EQ(file, c.text) << c.what;
    }
}

TEST_F(InstalledComponentsTest, RegMethodFillsLowOrderBytesAndIsOptional) {
    struct Case {
        const char* name;
        std::uint32_t type;
        Bytes data;
        std::uint32_t regMethod;
    };
    const Case cases[] = {
        {"Zk:1 byte", kRegBinary, {7}, 7u},
        {"Zk:2 bytes", kRegBinary, {1, 2}, 0x0201u},
        {"Zk:4 bytes", kRegDword, NumberBytes(0xA1B2C3D4), 0xA1B2C3D4u},
        {"Zk:8 bytes", kRegBinary, Bytes(8, 0xFF), 0u},
        {"Zk:text", kRegSz, TextBytes("5"), 0x35u},
    };
    // Enumerated after "Zk:4 bytes": its value must not carry over.
    ASSERT_TRUE(testing::SeedProductComponent(registry, "Zk:5 missing", "F", "p"));
    for (const Case& c : cases) {
        ASSERT_TRUE(testing::SeedProductComponent(registry, c.name, "F", "p"));
        ASSERT_TRUE(testing::SeedValue(registry, testing::ProductComponentPath(c.name),
                                       kRegMethodValue, c.type, c.data));
    }
    EXPECT_EQ(components.InitV7Info(), 1);
    for (const Case& c : cases) {
        const ComponentRecord* record = nullptr;
        for (const auto& [key, entry] : components.catalog()) {
            if (key == c.name) record = &entry;
        }
        ASSERT_NE(record, nullptr) << c.name;
        EXPECT_EQ(record->RegMethod, c.regMethod) << c.name;
    }
    EXPECT_EQ(Entry("Zk:5 missing"), "Zk:5 missing|F||p|0|||||");
}

TEST_F(InstalledComponentsTest, SubkeysMissingARequiredValueAreSkipped) {
    using testing::SeedText;
    SeedText(registry, testing::UninstallEntryPath("Zk:NoName"), kUninstallStringValue, "u");
    SeedText(registry, testing::UninstallEntryPath("Zk:NoCommand"), kDisplayNameValue, "Zk:C");
    SeedText(registry, testing::ProductComponentPath("Zk:NoFolder"), kPathValue, "p");
    SeedText(registry, testing::ProductComponentPath("Zk:NoPath"), kFolderValue, "f");
    EXPECT_EQ(components.InitV7Info(), 1);
    EXPECT_TRUE(components.catalog().empty());
    EXPECT_EQ(registry.OpenHandleCount(), kModuleKeys);
}

TEST_F(InstalledComponentsTest, SubkeyNamesOfTheLongestLengthAreKept) {
    const std::string longest = "Zk:" + std::string(252, 'n');
    ASSERT_TRUE(testing::SeedUninstallEntry(registry, longest, "Zk:U", "u"));
    ASSERT_TRUE(testing::SeedProductComponent(registry, longest, "F", "p"));
    EXPECT_EQ(components.InitV7Info(), 1);
    EXPECT_EQ(Entry("Zk:U"), "||||0|" + longest + "||||");
    EXPECT_EQ(Entry(longest), longest + "|F||p|0|||||");
}

// Each failure hits the scans after both roots opened; what is catalogued shows where the
// scan stopped or what it skipped.
TEST_F(InstalledComponentsTest, RegistryFailuresEndOrSkipWithoutLeakingHandles) {
    struct Case {
        const char* what;
        RegOperation operation;
        unsigned successesFirst;
        std::vector<std::string> keys;
    };
    const Case cases[] = {
        {"enumeration fails at once", RegOperation::EnumKey, 0, {}},
        {"enumeration fails at the second uninstall subkey", RegOperation::EnumKey, 1, {"Zk:A"}},
        {"subkeys do not open", RegOperation::OpenKeyEx, 2, {}},
        {"second subkey does not open", RegOperation::OpenKeyEx, 3, {"Zk:A"}},
        {"reads fail", RegOperation::QueryValueEx, 0, {}},
        {"reads fail after the first uninstall entry", RegOperation::QueryValueEx, 2, {"Zk:A"}},
        {"closing fails", RegOperation::CloseKey, 0, {"Zk:A", "Zk:B", "Zk:P"}},
    };
    for (const Case& c : cases) {
        MemoryRegistry fresh;
        InstalledComponents catalogue(fresh, codePage, sharedState);
        ASSERT_TRUE(testing::SeedUninstallEntry(fresh, "Zk:A", "Zk:A", "a"));
        ASSERT_TRUE(testing::SeedUninstallEntry(fresh, "Zk:B", "Zk:B", "b"));
        ASSERT_TRUE(testing::SeedProductComponent(fresh, "Zk:P", "F", "p", 1));
        const std::size_t handlesBefore = fresh.OpenHandleCount();
        fresh.FailOperation(c.operation, kErrorAccessDenied, c.successesFirst);
        EXPECT_EQ(catalogue.InitV7Info(), 1) << c.what;
        std::vector<std::string> keys;
        for (const auto& [key, record] : catalogue.catalog()) keys.push_back(key);
        EXPECT_EQ(keys, c.keys) << c.what;
        if (c.operation != RegOperation::CloseKey) {
            EXPECT_EQ(fresh.OpenHandleCount(), handlesBefore + kModuleKeys) << c.what;
        }
    }
}

TEST_F(InstalledComponentsTest, FindNamesTheFirstLogInTheDirectory) {
    SeedRoots();
    SeedLoggedComponent("Zk:B", "C:\\A\\", "b");
    ASSERT_TRUE(testing::SeedUninstallEntry(
        registry, "Zk:A", "Zk:A", testing::UninstallCommand("C:\\A\\", "first.isu", "a")));
    SeedLoggedComponent("Zk:N", "", "n");
    ASSERT_TRUE(testing::SeedProductComponent(registry, "Zk:P", "F", "p.exe"));
    EXPECT_EQ(Find("C:\\A\\"), "");
    EXPECT_EQ(components.InitV7Info(), 1);

    EXPECT_EQ(Find("C:\\A\\"), "first.isu");
    EXPECT_EQ(Find("c:\\a\\"), "first.isu");
    EXPECT_EQ(Find("C:\\A"), "");
    EXPECT_EQ(Find("C:\\"), "");
    // Neither the product-only entry nor the one whose command named no directory has a log.
    EXPECT_EQ(Find(""), "");
    EXPECT_EQ(Find(nullptr), "");
    EXPECT_EQ(components.FindISUInCatalog("C:\\A\\", nullptr), 0);
    EXPECT_EQ(registry.OpenHandleCount(), kModuleKeys);
}

// In C:\A\: a merged component, an uninstall-only one and one to keep; elsewhere: a
// product-only component and one logged in another directory.
void SeedPruningScene(MemoryRegistry& registry) {
    using testing::SeedLoggedComponent;
    using testing::SeedProductComponent;
    ASSERT_TRUE(testing::SeedKey(registry, kProductKeyPath));
    ASSERT_TRUE(testing::SeedKey(registry, kUninstallRootPath));
    ASSERT_TRUE(SeedLoggedComponent(registry, "Zk:Merged", "C:\\A\\", "m"));
    ASSERT_TRUE(SeedProductComponent(registry, "Zk:Merged Net", "F", "m.exe"));
    ASSERT_TRUE(SeedLoggedComponent(registry, "Zk:Uninstall", "C:\\A\\", "u"));
    ASSERT_TRUE(SeedLoggedComponent(registry, "Zk:Kept", "C:\\A\\", "Keep Me"));
    ASSERT_TRUE(SeedProductComponent(registry, "Zk:Product", "F", "p.exe"));
    ASSERT_TRUE(SeedLoggedComponent(registry, "Zk:Elsewhere", "C:\\B\\", "e"));
}

class PruningTest : public InstalledComponentsTest {
protected:
    void SetUp() override { SeedPruningScene(registry); }
    std::vector<std::string> RemainingSubkeys() {
        std::vector<std::string> remaining;
        for (const char* name : {"Zk:Merged", "Zk:Uninstall", "Zk:Kept", "Zk:Elsewhere"}) {
            if (Exists(testing::UninstallEntryPath(name))) remaining.push_back(name);
        }
        for (const char* name : {"Zk:Merged Net", "Zk:Product"}) {
            if (Exists(testing::ProductComponentPath(name))) remaining.push_back(name);
        }
        return remaining;
    }
    std::optional<RawValue> Counter() { return testing::ReadCounter(registry); }
};

TEST_F(PruningTest, PrunesTheOtherComponentsLoggedInTheDirectoryOnce) {
    ASSERT_TRUE(testing::SeedCounter(registry, kRegDword, NumberBytes(5)));
    ASSERT_EQ(components.InitV7Info(), 1);
    EXPECT_EQ(components.RemoveAllInCatExcept("c:\\a\\", "KEEP me"), 1);
    EXPECT_EQ(RemainingSubkeys(),
              (std::vector<std::string>{"Zk:Kept", "Zk:Elsewhere", "Zk:Product"}));
    EXPECT_EQ(Counter(), (RawValue{kRegDword, NumberBytes(3)}));
    EXPECT_EQ(Find("C:\\A\\"), "l.isu");
    EXPECT_EQ(Keys(), (std::vector<std::string>{"Zk:Elsewhere Net", "Zk:Kept Net", "Zk:Product"}));

    EXPECT_EQ(components.RemoveAllInCatExcept("c:\\a\\", "KEEP me"), 1);
    EXPECT_EQ(Counter(), (RawValue{kRegDword, NumberBytes(3)}));
    EXPECT_EQ(components.InitV7Info(), 1);
    EXPECT_EQ(Keys(), (std::vector<std::string>{"Zk:Elsewhere Net", "Zk:Kept Net", "Zk:Product"}));
    EXPECT_EQ(registry.OpenHandleCount(), kModuleKeys);
}

TEST_F(PruningTest, AnEmptyDirectoryPrunesNothing) {
    ASSERT_TRUE(testing::SeedCounter(registry, kRegDword, NumberBytes(5)));
    ASSERT_EQ(components.InitV7Info(), 1);
    // The product-only component has no log directory and arguments other than these.
    EXPECT_EQ(components.RemoveAllInCatExcept("", "other"), 1);
    EXPECT_EQ(components.RemoveAllInCatExcept(nullptr, "other"), 1);
    EXPECT_EQ(RemainingSubkeys().size(), 6u);
    EXPECT_EQ(Counter(), (RawValue{kRegDword, NumberBytes(5)}));
}

// What happens to the pruned components' keys between InitV7Info and the prune, and how it is
// undone before a second prune. The counter goes down for a component only when this call
// deleted one of its keys; a component whose keys stay is tried again by the next call.
TEST(PruningCount, CountsOnlyComponentsThisCallDeletedAKeyOf) {
    const std::string uninstallOnly = testing::UninstallEntryPath("Zk:Uninstall");
    const std::string child = uninstallOnly + "\\Child";
    const std::string mergedUninstall = testing::UninstallEntryPath("Zk:Merged");
    const std::string mergedProduct = testing::ProductComponentPath("Zk:Merged Net");
    using Change = std::function<void(MemoryRegistry&)>;
    const auto deleteKey = [](const std::string& path) -> Change {
        return [path](MemoryRegistry& r) { r.RegDeleteKeyA(kHkeyLocalMachine, path.c_str()); };
    };
    const auto addKey = [](const std::string& path) -> Change {
        return [path](MemoryRegistry& r) { ASSERT_TRUE(testing::SeedKey(r, path)); };
    };
    const Change nothing = [](MemoryRegistry&) {};
    struct Case {
        const char* what;
        Change meanwhile;
        Change undo;
        std::uint32_t counter;
        std::vector<std::string> stayed;  // pruned components still catalogued
        std::uint32_t counterAfterRetry;
    };
    const Case cases[] = {
        {"keys all there", nothing, nothing, 3, {}, 3},
        {"a component's only key already gone", deleteKey(uninstallOnly), nothing, 4, {}, 4},
        {"one of two keys already gone", deleteKey(mergedUninstall), nothing, 3, {}, 3},
        {"a component's only key has a subkey",
         addKey(child),
         deleteKey(child),
         4,
         {"Zk:Uninstall Net"},
         3},
        {"one of two keys has a subkey", addKey(mergedProduct + "\\Child"), nothing, 3, {}, 3},
        {"every delete denied",
         [](MemoryRegistry& r) { r.FailOperation(RegOperation::DeleteKey, kErrorAccessDenied); },
         [](MemoryRegistry& r) { r.ClearFailures(); },
         5,
         {"Zk:Merged Net", "Zk:Uninstall Net"},
         3},
    };
    const HostCodePage codePage{1252};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryRegistry registry;
        SeedPruningScene(registry);
        ASSERT_TRUE(testing::SeedCounter(registry, kRegDword, NumberBytes(5)));
        UnsharedState unshared;
        InstalledComponents components(registry, codePage, unshared);
        ASSERT_EQ(components.InitV7Info(), 1);
        c.meanwhile(registry);
        EXPECT_EQ(components.RemoveAllInCatExcept("C:\\A\\", "Keep Me"), 1);
        EXPECT_EQ(testing::ReadCounter(registry), (RawValue{kRegDword, NumberBytes(c.counter)}));
        std::vector<std::string> catalogued;
        for (const auto& [key, record] : components.catalog()) catalogued.push_back(key);
        std::vector<std::string> expected = {"Zk:Elsewhere Net", "Zk:Kept Net", "Zk:Product"};
        expected.insert(expected.end(), c.stayed.begin(), c.stayed.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(catalogued, expected);

        c.undo(registry);
        EXPECT_EQ(components.RemoveAllInCatExcept("C:\\A\\", "Keep Me"), 1);
        EXPECT_EQ(testing::ReadCounter(registry),
                  (RawValue{kRegDword, NumberBytes(c.counterAfterRetry)}));
        EXPECT_FALSE(testing::KeyExists(registry, uninstallOnly));
        EXPECT_EQ(registry.OpenHandleCount(), kModuleKeys);
    }
}

// The pruning scene with a counter of 5, catalogued, behind a lock the test grants or refuses.
class LockedPruningTest : public ::testing::Test {
protected:
    void SetUp() override {
        SeedPruningScene(registry);
        ASSERT_TRUE(testing::SeedCounter(registry, kRegDword, NumberBytes(5)));
        ASSERT_EQ(components.InitV7Info(), 1);
    }
    RawValue Counter() { return *testing::ReadCounter(registry); }

    const HostCodePage codePage{1252};
    MemoryRegistry registry;
    testing::ObservedLock lock{registry, true};
    InstalledComponents components{registry, codePage, lock};
};

// The deletes and the counter's read and write all run while the lock is held.
TEST_F(LockedPruningTest, HoldsTheSharedStateLockAcrossTheDeletesAndTheCounter) {
    const testing::RegistryCalls before = testing::CallsSoFar(registry);
    EXPECT_EQ(components.RemoveAllInCatExcept("C:\\A\\", "Keep Me"), 1);
    const testing::RegistryCalls after = testing::CallsSoFar(registry);
    EXPECT_EQ(Counter(), (RawValue{kRegDword, NumberBytes(3)}));
    testing::ExpectHeldOnceAcross(
        lock, true, before, after,
        {RegOperation::DeleteKey, RegOperation::QueryValueEx, RegOperation::SetValueEx});
}

// A peer that holds the lock past the wait may still write back a counter it read before our
// deletes: the call then changes nothing, and a later call, once the lock is had, prunes and
// lowers the counter once.
TEST_F(LockedPruningTest, ALockNotHadInTimePrunesNothingUntilALaterCall) {
    lock.grants = false;
    const std::size_t catalogued = components.catalog().size();
    const testing::RegistryCalls before = testing::CallsSoFar(registry);

    EXPECT_EQ(components.RemoveAllInCatExcept("C:\\A\\", "Keep Me"), 1);
    const testing::RegistryCalls after = testing::CallsSoFar(registry);
    for (RegOperation changes : {RegOperation::DeleteKey, RegOperation::SetValueEx}) {
        EXPECT_EQ(testing::CallsOf(after, changes), testing::CallsOf(before, changes));
    }
    EXPECT_EQ(Counter(), (RawValue{kRegDword, NumberBytes(5)}));
    EXPECT_EQ(components.catalog().size(), catalogued);

    lock.grants = true;
    EXPECT_EQ(components.RemoveAllInCatExcept("C:\\A\\", "Keep Me"), 1);
    EXPECT_EQ(Counter(), (RawValue{kRegDword, NumberBytes(3)}));
    EXPECT_EQ(components.catalog().size(), catalogued - 2);
    EXPECT_EQ(lock.acquisitions, 2);
    EXPECT_EQ(lock.releases, 1);
}

TEST_F(PruningTest, BeforeInitNothingIsDeleted) {
    ASSERT_TRUE(testing::SeedCounter(registry, kRegDword, NumberBytes(5)));
    EXPECT_EQ(components.RemoveAllInCatExcept("C:\\A\\", ""), 1);
    EXPECT_EQ(RemainingSubkeys().size(), 6u);
    EXPECT_EQ(Counter(), (RawValue{kRegDword, NumberBytes(5)}));
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

// The counter as stored, and what it is after pruning the two other components of C:\A\.
TEST_F(PruningTest, CounterIsWrittenBackOnlyWhenReadAndNotNegative) {
    struct Case {
        const char* what;
        std::optional<RawValue> before;
        std::optional<RawValue> after;
    };
    const std::vector<Case> cases = {
        {"DWORD", RawValue{kRegDword, NumberBytes(3)}, RawValue{kRegDword, NumberBytes(1)}},
        {"going negative", RawValue{kRegDword, NumberBytes(1)},
         RawValue{kRegDword, NumberBytes(1)}},
        {"smallest int", RawValue{kRegDword, NumberBytes(0x80000000)},
         RawValue{kRegDword, NumberBytes(0x80000000)}},
        {"two bytes", RawValue{kRegBinary, {7, 0}}, RawValue{kRegBinary, NumberBytes(5)}},
        {"text", RawValue{kRegSz, TextBytes("7")}, RawValue{kRegSz, NumberBytes('7' - 2)}},
        {"empty", RawValue{kRegBinary, {}}, RawValue{kRegBinary, {}}},
        {"eight bytes", RawValue{kRegBinary, Bytes(8, 1)}, RawValue{kRegBinary, Bytes(8, 1)}},
        {"absent", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        MemoryRegistry fresh;
        InstalledComponents catalogue(fresh, codePage, sharedState);
        ASSERT_TRUE(testing::SeedLoggedComponent(fresh, "Zk:One", "C:\\A\\", "1"));
        ASSERT_TRUE(testing::SeedLoggedComponent(fresh, "Zk:Two", "C:\\A\\", "2"));
        ASSERT_TRUE(testing::SeedKey(fresh, kComponentCounterPath));
        if (c.before) {
            ASSERT_TRUE(testing::SeedCounter(fresh, c.before->type, c.before->data));
        }
        ASSERT_EQ(catalogue.InitV7Info(), 1);
        EXPECT_EQ(catalogue.RemoveAllInCatExcept("C:\\A\\", ""), 1);
        EXPECT_EQ(testing::ReadCounter(fresh), c.after) << c.what;
        EXPECT_TRUE(catalogue.catalog().empty()) << c.what;
        EXPECT_EQ(fresh.OpenHandleCount(), kModuleKeys) << c.what;
    }
}

TEST_F(PruningTest, AnAbsentCounterIsNotWrittenEvenWhenNothingIsPruned) {
    ASSERT_TRUE(testing::SeedKey(registry, kComponentCounterPath));
    ASSERT_EQ(components.InitV7Info(), 1);
    EXPECT_EQ(components.RemoveAllInCatExcept("C:\\Elsewhere\\", ""), 1);
    EXPECT_EQ(Counter(), std::nullopt);
    EXPECT_EQ(RemainingSubkeys().size(), 6u);
}

TEST_F(PruningTest, WithoutACounterKeyNoneIsMade) {
    ASSERT_EQ(components.InitV7Info(), 1);
    EXPECT_EQ(components.RemoveAllInCatExcept("C:\\A\\", "Keep Me"), 1);
    EXPECT_FALSE(Exists(kComponentCounterPath));
    EXPECT_EQ(RemainingSubkeys(),
              (std::vector<std::string>{"Zk:Kept", "Zk:Elsewhere", "Zk:Product"}));
    EXPECT_EQ(registry.OpenHandleCount(), kModuleKeys);
}

}  // namespace
}  // namespace instdll
