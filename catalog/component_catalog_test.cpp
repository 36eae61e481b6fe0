#include "catalog/component_catalog.h"

#include <vector>

#include "gtest/gtest.h"

namespace instdll {
namespace {

std::vector<std::string> KeysInWalkOrder(const ComponentCatalog& catalog) {
    std::vector<std::string> keys;
    for (const auto& [key, record] : catalog) keys.push_back(key);
    return keys;
}

TEST(ComponentCatalog, WalksInUnsignedByteOrder) {
    ComponentCatalog catalog;
    for (const char* key : {"zk:b", "Zk:B", "", "Zk:", "Zk:\xE9", "Zk:B2", "Zk:a", "Zk:_"}) {
        catalog.InsertIfAbsent(key, ComponentRecord{});
    }
    // Upper-case Latin before '_' before lower-case, a prefix before the longer key, and bytes
    // above 0x7F after every ASCII byte.
    EXPECT_EQ(
        KeysInWalkOrder(catalog),
        (std::vector<std::string>{"", "Zk:", "Zk:B", "Zk:B2", "Zk:_", "Zk:a", "Zk:\xE9", "zk:b"}));
}

TEST(ComponentCatalog, InsertIfAbsentKeepsTheFirstRecordWhole) {
    ComponentCatalog catalog;
    ComponentRecord first;
    first.ComponentKey = "Zk:A";
    first.RegMethod = 1;
    first.LogDir = "C:\\A\\";
    ComponentRecord second{"x", "x", "x", "x", 9, "x", "x", "x", "x", "x"};

    auto [entry, inserted] = catalog.InsertIfAbsent("Zk:A", first);
    EXPECT_TRUE(inserted);
    auto [again, insertedAgain] = catalog.InsertIfAbsent("Zk:A", second);
    EXPECT_FALSE(insertedAgain);
    EXPECT_EQ(&entry, &again);
    EXPECT_EQ(again.ComponentKey, "Zk:A");
    EXPECT_EQ(again.RegMethod, 1u);
    EXPECT_EQ(again.LogDir, "C:\\A\\");
    EXPECT_EQ(again.Folder, "");
    EXPECT_EQ(catalog.size(), 1u);
}

TEST(ComponentCatalog, FindIsExactAndAssignsInPlace) {
    ComponentCatalog catalog;
    EXPECT_EQ(catalog.Find("Zk:A"), nullptr);
    catalog.InsertIfAbsent("Zk:A", ComponentRecord{});
    EXPECT_EQ(catalog.Find("zk:a"), nullptr);
    ComponentRecord* found = catalog.Find("Zk:A");
    ASSERT_NE(found, nullptr);
    found->Folder = "Bin";
    EXPECT_EQ(catalog.Find("Zk:A")->Folder, "Bin");
}

TEST(ComponentCatalog, CaseVariantsAreSeparateEntries) {
    ComponentCatalog catalog;
    catalog.InsertIfAbsent("zk:tool", ComponentRecord{});
    catalog.InsertIfAbsent("Zk:Tool", ComponentRecord{});
    EXPECT_EQ(KeysInWalkOrder(catalog), (std::vector<std::string>{"Zk:Tool", "zk:tool"}));
}

TEST(ComponentCatalog, EmptyCatalogueWalksNothing) {
    const ComponentCatalog catalog;
    EXPECT_TRUE(KeysInWalkOrder(catalog).empty());
}

}  // namespace
}  // namespace instdll
