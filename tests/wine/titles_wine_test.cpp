// RegDBAddToTitles through the loaded DLL on the real registry of the Wine prefix.
#include <algorithm>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "registry/registry_paths.h"
#include "registry/win32_registry.h"
#include "tests/common/title_list.h"
#include "tests/wine/code_page_text.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/registry_snapshot.h"

namespace instdll::testing {
namespace {

std::vector<TitleValue> SortedByName(std::vector<TitleValue> values) {
    std::sort(values.begin(), values.end(),
              [](const TitleValue& a, const TitleValue& b) { return a.name < b.name; });
    return values;
}

class TitlesWineTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string missing;
        ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
        DeleteTree(HKEY_CURRENT_USER, kFamilyUserKey);
    }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, kFamilyUserKey); }

    // Wine enumerates values by name, so lists are compared in name order.
    std::vector<TitleValue> Titles() {
        return SortedByName(ReadTitles(SystemRegistry()).value_or(std::vector<TitleValue>{}));
    }

    LoadedInstDll dll;
};

struct WineTitleCase {
    const char* label;
    std::vector<TitleValue> before;
    std::string title;
    std::string stored;  // empty: nothing stored under "v"
    int result = 0;
};

TEST_F(TitlesWineTest, StoresTheFirstFreeFormByteForByte) {
    const std::string longName(300, 'N');
    const std::string longData = Sz("Accounts") + Sz(std::string(400, 'x'));
    const std::string word = CodePageWord();
    const WineTitleCase cases[] = {
        {"free", {}, "Accounts", Sz("Accounts")},
        {"taken", {{"a", kRegSz, Sz("Accounts")}}, "Accounts", Sz("Accounts #1")},
        {"numbered form enumerated first",
         {{"a", kRegSz, Sz("Accounts #1")}, {"b", kRegSz, Sz("Accounts")}},
         "Accounts",
         Sz("Accounts #2")},
        {"gap",
         {{"a", kRegSz, Sz("Accounts")}, {"b", kRegSz, Sz("Accounts #2")}},
         "Accounts",
         Sz("Accounts #1")},
        {"only numbered taken", {{"a", kRegSz, Sz("Accounts #1")}}, "Accounts", Sz("Accounts")},
        {"name is no conflict", {{"Accounts", kRegSz, Sz("x")}}, "Accounts", Sz("Accounts")},
        {"case counts", {{"a", kRegSz, Sz("accounts")}}, "Accounts", Sz("Accounts")},
        {"the code page's own characters taken", {{"a", kRegSz, Sz(word)}}, word, Sz(word + " #1")},
        {"empty title taken", {{"a", kRegSz, Sz("")}}, "", Sz(" #1")},
        {"binary without zero", {{"a", kRegBinary, "Accounts"}}, "Accounts", Sz("Accounts #1")},
        {"data over 256 bytes", {{"a", kRegSz, longData}}, "Accounts", Sz("Accounts")},
        {"name over 255 characters",
         {{longName, kRegSz, Sz("Accounts")}},
         "Accounts",
         Sz("Accounts")},
        {"existing value kept", {{"v", kRegDword, "\x01\x02\x03\x04"}}, "Accounts", ""},
        {"too long", {}, std::string(256, 'T'), "", 87},
        {"number does not fit",
         {{"a", kRegSz, Sz(std::string(253, 'T'))}},
         std::string(253, 'T'),
         "",
         87},
    };
    for (const WineTitleCase& c : cases) {
        SCOPED_TRACE(c.label);
        DeleteTree(HKEY_CURRENT_USER, kFamilyUserKey);
        SeedTitles(SystemRegistry(), c.before);
        std::vector<TitleValue> expected = c.before;
        if (!c.stored.empty()) expected.push_back({"v", kRegSz, c.stored});

        EXPECT_EQ(dll.exports().RegDBAddToTitles("v", c.title.c_str()), c.result);
        EXPECT_EQ(Titles(), SortedByName(expected));
    }
}

TEST_F(TitlesWineTest, CreatesTheKeyAndItsParents) {
    ASSERT_EQ(SnapshotTree(HKEY_CURRENT_USER, kFamilyUserKey), "");
    EXPECT_EQ(dll.exports().RegDBAddToTitles("v", "Accounts"), 0);
    EXPECT_EQ(Titles(), (std::vector<TitleValue>{{"v", kRegSz, Sz("Accounts")}}));
}

TEST_F(TitlesWineTest, RepeatedTitlesAreNumberedInTurn) {
    const auto& add = dll.exports().RegDBAddToTitles;
    for (const char* name : {"p", "q", "r", "s"}) EXPECT_EQ(add(name, "Accounts"), 0);
    EXPECT_EQ(add(nullptr, nullptr), 0);
    EXPECT_EQ(Titles(), (std::vector<TitleValue>{{"", kRegSz, Sz("")},
                                                 {"p", kRegSz, Sz("Accounts")},
                                                 {"q", kRegSz, Sz("Accounts #1")},
                                                 {"r", kRegSz, Sz("Accounts #2")},
                                                 {"s", kRegSz, Sz("Accounts #3")}}));
}

TEST_F(TitlesWineTest, ReturnsTheErrorThatKeepsTheListClosed) {
    // A value where the path wants a key: the titles key cannot be created beneath it.
    DeleteTree(HKEY_CURRENT_USER, kFamilyUserKey);
    HKEY family = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Zk\\Zkv7\\7.5", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &family, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(family);
    const int result = dll.exports().RegDBAddToTitles("v", "Accounts");
    EXPECT_EQ(result, ERROR_CHILD_MUST_BE_VOLATILE);
    EXPECT_EQ(SnapshotTree(HKEY_CURRENT_USER, kTitlesPath), "");
}

}  // namespace
}  // namespace instdll::testing
