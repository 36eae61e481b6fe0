// The catalogue's exports on the real registry, seeded per test under the product key and the
// uninstall list. Each test loads the library afresh, as its catalogue lives as long as it does.
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "registry/win32_registry.h"
#include "tests/common/catalog_seed.h"
#include "tests/wine/code_page_text.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/registry_snapshot.h"

namespace instdll::testing {
namespace {

std::string Padded(const std::string& text, std::size_t size) {
    return text + std::string(size - text.size(), '_');
}

Bytes Unterminated(const std::string& text) { return Bytes(text.begin(), text.end()); }

class CatalogWineTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveSeeded();
        Reload();
    }
    void TearDown() override {
        dll_.reset();
        RemoveSeeded();
    }

    // A fresh library: empty catalogue, no keys held.
    void Reload() {
        dll_.reset();
        dll_ = std::make_unique<LoadedInstDll>();
        std::string missing;
        ASSERT_TRUE(dll_->ResolveAll(&missing)) << missing;
    }
    void RemoveSeeded() {
        // Names of 255 characters are deleted below their root: a full ANSI path that long
        // does not convert.
        HKEY uninstallRoot = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallRootPath, 0, KEY_ALL_ACCESS,
                          &uninstallRoot) == ERROR_SUCCESS) {
            for (const std::string& name : uninstallSubkeys_) DeleteTree(uninstallRoot, name);
            RegCloseKey(uninstallRoot);
        }
        uninstallSubkeys_.clear();
        DeleteTree(HKEY_LOCAL_MACHINE, kProductKeyPath);
        // The parents go only when nothing else lives in them.
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zk\\Zkv7");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zk");
    }

    const InstDllExports& dll() const { return dll_->exports(); }
    RegistryAccess& registry() { return SystemRegistry(); }

    void SeedUninstallValue(const std::string& name, const char* valueName, std::uint32_t type,
                            const Bytes& data) {
        uninstallSubkeys_.push_back(name);
        ASSERT_TRUE(SeedValue(registry(), UninstallEntryPath(name), valueName, type, data));
    }
    void SeedLogged(const std::string& name, const std::string& logDir,
                    const std::string& arguments) {
        uninstallSubkeys_.push_back(name);
        ASSERT_TRUE(SeedLoggedComponent(registry(), name, logDir, arguments));
    }
    bool UninstallEntryExists(const std::string& name) {
        return KeyExists(registry(), UninstallEntryPath(name));
    }
    bool ProductComponentExists(const std::string& name) {
        return KeyExists(registry(), ProductComponentPath(name));
    }
    std::string Find(const char* directory) {
        char buffer[300];
        std::memset(buffer, 'X', sizeof buffer);
        const int result = dll().FindISUInCatalog(directory, buffer);
        const std::string found(buffer, strnlen(buffer, sizeof buffer));
        EXPECT_EQ(buffer[found.size() + 1], 'X') << "written past the terminating zero";
        EXPECT_EQ(result, found.empty() ? 0 : 1) << directory;
        return found;
    }

private:
    std::unique_ptr<LoadedInstDll> dll_;
    std::vector<std::string> uninstallSubkeys_;
};

struct Value {
    std::uint32_t type;
    Bytes data;
};

Value Text(const std::string& text) { return {kRegSz, TextBytes(text)}; }

// The arguments fill the command up to `length` bytes.
std::string CommandOfLength(const std::string& logDir, std::size_t length) {
    const std::size_t frame = UninstallCommand(logDir, "l.isu", "").size();
    return UninstallCommand(logDir, "l.isu", Padded("a", length - frame));
}

// One component logged in a directory of its own, as a row of the table below changes it.
struct Component {
    explicit Component(int row)
        : dir("C:\\Row" + std::to_string(row) + "\\"),
          uninstallName("Zk:Row" + std::to_string(row)),
          productName(uninstallName + " Net"),
          displayName(Text(uninstallName + " 7.5 Net")),
          command(Text(UninstallCommand(dir, "l.isu", "a"))),
          folder(Text("F")),
          path(Text("C:\\P\\p.exe")) {}

    std::string dir;
    std::string uninstallName;
    std::string productName;
    std::optional<Value> displayName, command, folder, path, regMethod;
};

struct Row {
    const char* what;
    std::function<void(Component&)> change;
    bool catalogued;  // Find names its log, and pruning deletes its uninstall entry
    bool merged;      // its product subkey completed the entry, and pruning deletes it too
};

std::vector<Row> Rows() {
    return {
        {"as installed", [](Component&) {}, true, true},
        {"prefix in other letter case",
         [](Component& c) {
             const std::string row = c.uninstallName.substr(3);
             c.uninstallName = "zK:" + row;
             c.productName = "ZK:" + row + " Net";
             c.displayName = Text("ZK:" + row + " 7.5 Net");
         },
         true, true},
        {"product name in other letter case",
         [](Component& c) { c.productName = "ZK:ROW" + c.productName.substr(6); }, true, false},
        {"names without the prefix",
         [](Component& c) {
             c.uninstallName = c.uninstallName.substr(3);
             c.productName = c.productName.substr(3);
         },
         false, false},
        {"display name missing", [](Component& c) { c.displayName.reset(); }, false, false},
        {"command missing", [](Component& c) { c.command.reset(); }, false, false},
        {"display name of 255 bytes",
         [](Component& c) { c.displayName = Text(Padded(c.uninstallName, 255)); }, true, false},
        {"display name of 256 bytes and zero",
         [](Component& c) { c.displayName = Text(Padded(c.uninstallName, 256)); }, false, false},
        {"display name of 256 bytes, no zero",
         [](Component& c) {
             c.displayName = Value{kRegSz, Unterminated(Padded(c.uninstallName, 256))};
         },
         true, false},
        {"display name as DWORD",
         [](Component& c) {
             c.displayName = Value{kRegDword, Unterminated("Zk:D")};
         },
         true, false},
        {"display name binary, data after a zero",
         [](Component& c) {
             Bytes data = TextBytes(c.uninstallName + " 7.5 Net");
             data.insert(data.end(), {'j', 'u', 'n', 'k'});
             c.displayName = Value{kRegBinary, data};
         },
         true, true},
        {"command of 255 bytes",
         [](Component& c) { c.command = Text(CommandOfLength(c.dir, 255)); }, true, true},
        {"command of 256 bytes and zero",
         [](Component& c) { c.command = Text(CommandOfLength(c.dir, 256)); }, false, false},
        {"command as binary, no zero",
         [](Component& c) {
             c.command = Value{kRegBinary, Unterminated(UninstallCommand(c.dir, "l.isu", "a"))};
         },
         true, true},
        {"subkey names of 255 characters",
         [](Component& c) {
             c.uninstallName = Padded(c.uninstallName, 255);
             c.productName = Padded(c.productName, 255);
             c.displayName = Text(c.productName);
         },
         true, true},
        {"ZkFolder missing", [](Component& c) { c.folder.reset(); }, true, false},
        {"ZkPath of 256 bytes and zero", [](Component& c) { c.path = Text(std::string(256, 'p')); },
         true, false},
        {"ZkPath as DWORD",
         [](Component& c) {
             c.path = Value{kRegDword, {1, 0, 0, 0}};
         },
         true, true},
        {"RegMethod of 1 byte",
         [](Component& c) {
             c.regMethod = Value{kRegBinary, {1}};
         },
         true, true},
        {"RegMethod of 4 bytes",
         [](Component& c) {
             c.regMethod = Value{kRegDword, {1, 0, 0, 0}};
         },
         true, true},
        {"RegMethod of 8 bytes",
         [](Component& c) {
             c.regMethod = Value{kRegBinary, Bytes(8, 1)};
         },
         true, true},
    };
}

TEST_F(CatalogWineTest, EachComponentIsFoundAndPrunedAsItsRegistryRecordsAllow) {
    const std::vector<Row> rows = Rows();
    std::vector<Component> components;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].what);
        Component c(static_cast<int>(i));
        rows[i].change(c);
        const std::string productPath = ProductComponentPath(c.productName);
        const std::pair<const char*, const std::optional<Value>*> uninstallValues[] = {
            {kDisplayNameValue, &c.displayName}, {kUninstallStringValue, &c.command}};
        for (const auto& [valueName, value] : uninstallValues) {
            if (*value)
                SeedUninstallValue(c.uninstallName, valueName, (*value)->type, (*value)->data);
        }
        const std::pair<const char*, const std::optional<Value>*> productValues[] = {
            {kFolderValue, &c.folder}, {kPathValue, &c.path}, {kRegMethodValue, &c.regMethod}};
        for (const auto& [valueName, value] : productValues) {
            if (*value) {
                ASSERT_TRUE(
                    SeedValue(registry(), productPath, valueName, (*value)->type, (*value)->data));
            }
        }
        components.push_back(c);
    }
    ASSERT_EQ(dll().InitV7Info(), 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(Find(components[i].dir.c_str()), rows[i].catalogued ? "l.isu" : "")
            << rows[i].what;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(dll().RemoveAllInCatExcept(components[i].dir.c_str(), ""), 1);
        EXPECT_EQ(UninstallEntryExists(components[i].uninstallName), !rows[i].catalogued)
            << rows[i].what;
        EXPECT_EQ(ProductComponentExists(components[i].productName), !rows[i].merged)
            << rows[i].what;
    }
}

// The counter as stored, and what it is after the two other components of C:\A\ were pruned.
TEST_F(CatalogWineTest, CounterKeepsItsTypeAndIsWrittenOnlyWhenReadAndNotNegative) {
    struct Case {
        const char* what;
        std::optional<RawValue> before;
        std::optional<RawValue> after;
    };
    const Case cases[] = {
        {"DWORD", RawValue{kRegDword, NumberBytes(3)}, RawValue{kRegDword, NumberBytes(1)}},
        {"going negative", RawValue{kRegDword, NumberBytes(1)},
         RawValue{kRegDword, NumberBytes(1)}},
        {"two bytes", RawValue{kRegBinary, {7, 0}}, RawValue{kRegBinary, NumberBytes(5)}},
        {"eight bytes", RawValue{kRegBinary, Bytes(8, 1)}, RawValue{kRegBinary, Bytes(8, 1)}},
        {"absent", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveSeeded();
        Reload();
        SeedLogged("Zk:One", "C:\\A\\", "1");
        SeedLogged("Zk:Two", "C:\\A\\", "2");
        SeedLogged("Zk:Kept", "C:\\A\\", "Keep");
        ASSERT_TRUE(SeedKey(registry(), kComponentCounterPath));
        if (c.before) {
            ASSERT_TRUE(SeedCounter(registry(), c.before->type, c.before->data));
        }
        ASSERT_EQ(dll().InitV7Info(), 1);
        EXPECT_EQ(dll().RemoveAllInCatExcept("c:\\a\\", "KEEP"), 1);
        EXPECT_EQ(ReadCounter(registry()), c.after);
        EXPECT_FALSE(UninstallEntryExists("Zk:One"));
        EXPECT_FALSE(UninstallEntryExists("Zk:Two"));
        EXPECT_TRUE(UninstallEntryExists("Zk:Kept"));
        // Pruned components have left the catalogue: a repeat lowers nothing.
        EXPECT_EQ(dll().RemoveAllInCatExcept("c:\\a\\", "KEEP"), 1);
        EXPECT_EQ(ReadCounter(registry()), c.after);
        EXPECT_EQ(Find("C:\\A\\"), "l.isu");
    }
}

TEST_F(CatalogWineTest, AnEmptyDirectoryNamesAndPrunesNothing) {
    ASSERT_TRUE(SeedProductComponent(registry(), "Zk:Product", "F", "C:\\P\\p.exe", 1));
    SeedLogged("Zk:NoDir", "", "n");
    ASSERT_TRUE(SeedCounter(registry(), kRegDword, NumberBytes(2)));
    ASSERT_EQ(dll().InitV7Info(), 1);
    EXPECT_EQ(Find(""), "");
    EXPECT_EQ(dll().RemoveAllInCatExcept("", "other"), 1);
    EXPECT_TRUE(ProductComponentExists("Zk:Product"));
    EXPECT_TRUE(UninstallEntryExists("Zk:NoDir"));
    EXPECT_EQ(ReadCounter(registry()), (RawValue{kRegDword, NumberBytes(2)}));
}

TEST_F(CatalogWineTest, FindNamesTheFirstLogInKeyOrderForTheDirectoryWithItsSeparator) {
    SeedUninstallValue("Zk:B", kDisplayNameValue, kRegSz, TextBytes("Zk:B"));
    SeedUninstallValue("Zk:B", kUninstallStringValue, kRegSz,
                       TextBytes(UninstallCommand("C:\\Dir\\", "b.isu", "b")));
    SeedUninstallValue("Zk:A", kDisplayNameValue, kRegSz, TextBytes("Zk:A"));
    SeedUninstallValue("Zk:A", kUninstallStringValue, kRegSz,
                       TextBytes(UninstallCommand("C:\\Dir\\", "a.isu", "a")));
    ASSERT_EQ(dll().InitV7Info(), 1);
    EXPECT_EQ(Find("c:\\dIR\\"), "a.isu");
    EXPECT_EQ(Find("C:\\Dir"), "");
    EXPECT_EQ(Find(nullptr), "");
    EXPECT_EQ(dll().FindISUInCatalog("C:\\Dir\\", nullptr), 0);
}

TEST_F(CatalogWineTest, AReloadedCatalogueHoldsWhatTheRegistryHoldsAgain) {
    SeedLogged("Zk:Gone", "C:\\G\\", "g");
    ASSERT_TRUE(SeedProductComponent(registry(), "Zk:Gone Net", "F", "C:\\P\\g.exe"));
    ASSERT_EQ(dll().InitV7Info(), 1);
    EXPECT_EQ(dll().RemoveAllInCatExcept("C:\\G\\", ""), 1);
    EXPECT_FALSE(UninstallEntryExists("Zk:Gone"));
    EXPECT_FALSE(ProductComponentExists("Zk:Gone Net"));
    ASSERT_EQ(dll().InitV7Info(), 1);
    EXPECT_EQ(Find("C:\\G\\"), "");

    SeedLogged("Zk:Gone", "C:\\G\\", "g");
    ASSERT_EQ(dll().InitV7Info(), 1);
    EXPECT_EQ(Find("C:\\G\\"), "l.isu");
}

// Under 932 every character here ends in 0x5C: the byte cuts must keep such characters whole.
TEST_F(CatalogWineTest, TextInTheCodePageIsCutOnWholeCharacters) {
    const std::string ch = CodePageCharacter();
    const std::string dir = "C:\\" + CodePageWord() + "\\";
    // The version and the character after it leave the display name: the product subkey meets it.
    SeedUninstallValue("Zk:A", kDisplayNameValue, kRegSz,
                       TextBytes("Zk:" + ch + " 7.5" + ch + "Net"));
    SeedUninstallValue("Zk:A", kUninstallStringValue, kRegSz,
                       TextBytes(UninstallCommand(dir, ch + ".isu", "a" + ch)));
    ASSERT_TRUE(SeedProductComponent(registry(), "Zk:" + ch + " Net", "F", dir + "a.exe"));
    // No blank before "-c": the character in its place goes, whole.
    SeedUninstallValue("Zk:B", kDisplayNameValue, kRegSz, TextBytes("Zk:" + ch + "B"));
    SeedUninstallValue("Zk:B", kUninstallStringValue, kRegSz,
                       TextBytes(std::string(kFamilyUninstaller) + " -f\"" + dir + "b.isu\" b" +
                                 ch + "-c\"" + dir + "uninst.dll\""));
    ASSERT_EQ(dll().InitV7Info(), 1);
    EXPECT_EQ(Find(dir.c_str()), ch + ".isu");
    EXPECT_EQ(dll().RemoveAllInCatExcept(dir.c_str(), "b"), 1);
    EXPECT_FALSE(UninstallEntryExists("Zk:A"));
    EXPECT_FALSE(ProductComponentExists("Zk:" + ch + " Net")) << "the display name was cut apart";
    EXPECT_TRUE(UninstallEntryExists("Zk:B")) << "the arguments were cut apart";
    EXPECT_EQ(Find(dir.c_str()), "b.isu");
}

}  // namespace
}  // namespace instdll::testing
