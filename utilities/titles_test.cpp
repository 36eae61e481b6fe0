#include "utilities/titles.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "registry/memory_registry.h"
#include "tests/common/observed_lock.h"
#include "tests/common/title_list.h"

namespace instdll {
namespace {

using testing::ReadTitles;
using testing::SeedTitles;
using testing::Sz;
using testing::TitleValue;

UnsharedState unshared;

const char* Argument(const std::optional<std::string>& text) {
    return text ? text->c_str() : nullptr;
}

// A title of `length` bytes.
std::string TitleOf(std::size_t length) { return std::string(length, 'T'); }

struct TitleCase {
    const char* label;
    std::vector<TitleValue> before;
    std::optional<std::string> valueName;  // none: a null argument
    std::optional<std::string> title;
    std::optional<std::string> stored;  // the data added under valueName; none: key unchanged
    long result = kErrorSuccess;
};

// Test logs name a case by its label instead of dumping its bytes.
void PrintTo(const TitleCase& c, std::ostream* out) { *out << c.label; }

class AddToTitlesTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(AddToTitlesTest, StoresTheFirstFreeFormOnly) {
    const TitleCase& c = GetParam();
    MemoryRegistry registry;
    SeedTitles(registry, c.before);
    std::vector<TitleValue> expected = c.before;
    if (c.stored) expected.push_back({c.valueName.value_or(""), kRegSz, *c.stored});

    EXPECT_EQ(AddToTitles(registry, unshared, Argument(c.valueName), Argument(c.title)), c.result);
    EXPECT_EQ(ReadTitles(registry), expected);
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

const std::string kLongData = Sz("Accounts") + std::string(300, 'x');
const std::string kLongName(300, 'N');

INSTANTIATE_TEST_SUITE_P(
    Sequences, AddToTitlesTest,
    ::testing::Values(
        TitleCase{"FreeTitle", {}, "v", "Accounts", Sz("Accounts")},
        TitleCase{"TakenOnce", {{"a", kRegSz, Sz("Accounts")}}, "v", "Accounts", Sz("Accounts #1")},
        TitleCase{"FirstTwoTaken",
                  {{"a", kRegSz, Sz("Accounts")}, {"b", kRegSz, Sz("Accounts #1")}},
                  "v",
                  "Accounts",
                  Sz("Accounts #2")},
        // The numbered form sits before the plain one: only a walk that restarts finds it.
        TitleCase{"TakenFormsInReverseOrder",
                  {{"a", kRegSz, Sz("Accounts #1")}, {"b", kRegSz, Sz("Accounts")}},
                  "v",
                  "Accounts",
                  Sz("Accounts #2")},
        TitleCase{"GapAtOne",
                  {{"a", kRegSz, Sz("Accounts")}, {"b", kRegSz, Sz("Accounts #2")}},
                  "v",
                  "Accounts",
                  Sz("Accounts #1")},
        TitleCase{"OnlyNumberedTaken",
                  {{"a", kRegSz, Sz("Accounts #1")}},
                  "v",
                  "Accounts",
                  Sz("Accounts")},
        TitleCase{"NameIsNoConflict",
                  {{"Accounts", kRegSz, Sz("Other")}},
                  "v",
                  "Accounts",
                  Sz("Accounts")},
        TitleCase{"CaseCounts", {{"a", kRegSz, Sz("accounts")}}, "v", "Accounts", Sz("Accounts")},
        TitleCase{"EmptyTitleTaken", {{"a", kRegSz, Sz("")}}, "v", "", Sz(" #1")},
        TitleCase{"NullTitleIsEmpty", {{"a", kRegSz, Sz("")}}, "v", std::nullopt, Sz(" #1")},
        TitleCase{"NullNameIsTheDefaultValue", {}, std::nullopt, "Accounts", Sz("Accounts")},
        TitleCase{"NumbersBuiltFromTheTitle",
                  {{"a", kRegSz, Sz("Accounts")},
                   {"b", kRegSz, Sz("Accounts #1")},
                   {"c", kRegSz, Sz("Accounts #1 #1")}},
                  "v",
                  "Accounts",
                  Sz("Accounts #2")},
        // Every type takes part; data are read up to their first zero byte.
        TitleCase{"BinaryWithoutZero",
                  {{"a", kRegBinary, "Accounts"}},
                  "v",
                  "Accounts",
                  Sz("Accounts #1")},
        TitleCase{"BytesAfterTheZero",
                  {{"a", kRegSz, Sz("Accounts") + "junk"}},
                  "v",
                  "Accounts",
                  Sz("Accounts #1")},
        TitleCase{
            "LongerWithoutZero", {{"a", kRegBinary, "Accountsx"}}, "v", "Accounts", Sz("Accounts")},
        TitleCase{"ShortWithoutZeroAfterLonger",
                  {{"a", kRegSz, Sz("XXXounts")}, {"b", kRegBinary, "Acc"}},
                  "v",
                  "Accounts",
                  Sz("Accounts")},
        TitleCase{"EmptyDataAreTheEmptyTitle", {{"a", kRegBinary, ""}}, "v", "", Sz(" #1")},
        TitleCase{"DwordZeroIsTheEmptyTitle",
                  {{"a", kRegDword, std::string(4, '\0')}},
                  "v",
                  "",
                  Sz(" #1")},
        // Entries the 256-byte buffers cannot hold (234) are never compared.
        TitleCase{"DataOver256Bytes", {{"a", kRegSz, kLongData}}, "v", "Accounts", Sz("Accounts")},
        TitleCase{"NameOver255Characters",
                  {{kLongName, kRegSz, Sz("Other")}, {"b", kRegSz, Sz("Accounts")}},
                  "v",
                  "Accounts",
                  Sz("Accounts #1")},
        TitleCase{"ExistingValueKept",
                  {{"v", kRegDword, std::string(4, '\x01')}},
                  "v",
                  "Accounts",
                  std::nullopt},
        TitleCase{"ExistingValueNameIgnoresCase",
                  {{"V", kRegSz, Sz("x")}},
                  "v",
                  "Accounts",
                  std::nullopt},
        TitleCase{"ExistingValueWinsOverTooLongTitle",
                  {{"v", kRegSz, Sz("x")}},
                  "v",
                  TitleOf(300),
                  std::nullopt},
        TitleCase{"Longest", {}, "v", TitleOf(255), Sz(TitleOf(255))},
        TitleCase{"TooLong", {}, "v", TitleOf(256), std::nullopt, kErrorInvalidParameter},
        TitleCase{"NumberFits",
                  {{"a", kRegSz, Sz(TitleOf(252))}},
                  "v",
                  TitleOf(252),
                  Sz(TitleOf(252) + " #1")},
        TitleCase{"NumberDoesNotFit",
                  {{"a", kRegSz, Sz(TitleOf(253))}},
                  "v",
                  TitleOf(253),
                  std::nullopt,
                  kErrorInvalidParameter}),
    [](const ::testing::TestParamInfo<TitleCase>& param) { return param.param.label; });

TEST(AddToTitles, TenthNumberNeedsRoomForTwoDigits) {
    MemoryRegistry registry;
    const std::string title = TitleOf(252);
    std::vector<TitleValue> taken{{"t", kRegSz, Sz(title)}};
    for (int i = 1; i <= 9; ++i) {
        taken.push_back({"t" + std::to_string(i), kRegSz, Sz(title + " #" + std::to_string(i))});
    }
    SeedTitles(registry, taken);
    EXPECT_EQ(AddToTitles(registry, unshared, "v", title.c_str()), kErrorInvalidParameter);
    EXPECT_EQ(ReadTitles(registry), taken);

    const std::string shorter = TitleOf(251);
    SeedTitles(registry, {{"s", kRegSz, Sz(shorter)}});
    EXPECT_EQ(AddToTitles(registry, unshared, "v", shorter.c_str()), kErrorSuccess);
    EXPECT_EQ(ReadTitles(registry)->back(), (TitleValue{"v", kRegSz, Sz(shorter + " #1")}));
}

TEST(AddToTitles, CreatesTheKeyWithItsParents) {
    MemoryRegistry registry;
    ASSERT_EQ(ReadTitles(registry), std::nullopt);
    EXPECT_EQ(AddToTitles(registry, unshared, "v", "Accounts"), kErrorSuccess);
    EXPECT_EQ(ReadTitles(registry), (std::vector<TitleValue>{{"v", kRegSz, Sz("Accounts")}}));
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST(AddToTitles, RestartsTheWalkAfterEveryMatch) {
    MemoryRegistry registry;
    // Taken forms in descending order: every match is found at the last index of its pass.
    std::vector<TitleValue> taken;
    for (int i = 3; i >= 1; --i)
        taken.push_back({"n" + std::to_string(i), kRegSz, Sz("A #" + std::to_string(i))});
    taken.push_back({"plain", kRegSz, Sz("A")});
    SeedTitles(registry, taken);
    EXPECT_EQ(AddToTitles(registry, unshared, "v", "A"), kErrorSuccess);
    // Four matches, each ending a pass, then one full pass: 4 + 3 + 2 + 1 + 5 reads.
    EXPECT_EQ(registry.CallCount(RegOperation::EnumValue), 15u);
    EXPECT_EQ(ReadTitles(registry)->back().data, Sz("A #4"));
}

// Held from the look-up to the store; when the lock cannot be had, the call still stores.
TEST(AddToTitles, HoldsTheSharedStateLockFromTheLookUpToTheStore) {
    for (const bool granted : {true, false}) {
        SCOPED_TRACE(granted ? "granted" : "timed out");
        MemoryRegistry registry;
        SeedTitles(registry, {{"a", kRegSz, Sz("Accounts")}});
        const testing::RegistryCalls before = testing::CallsSoFar(registry);
        testing::ObservedLock lock(registry, granted);
        EXPECT_EQ(AddToTitles(registry, lock, "v", "Accounts"), kErrorSuccess);
        const testing::RegistryCalls after = testing::CallsSoFar(registry);
        EXPECT_EQ(ReadTitles(registry)->back(), (TitleValue{"v", kRegSz, Sz("Accounts #1")}));
        testing::ExpectHeldOnceAcross(
            lock, granted, before, after,
            {RegOperation::QueryValueEx, RegOperation::EnumValue, RegOperation::SetValueEx});
    }
}

struct FailureCase {
    const char* label;
    RegOperation operation;
    long error;
    unsigned successesFirst;
    std::vector<TitleValue> before;
    std::optional<std::string> stored;
    long result;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.label; }

class AddToTitlesFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(AddToTitlesFailureTest, EndsAndClosesTheKey) {
    const FailureCase& c = GetParam();
    MemoryRegistry registry;
    SeedTitles(registry, c.before);
    std::vector<TitleValue> expected = c.before;
    if (c.stored) expected.push_back({"v", kRegSz, *c.stored});

    registry.FailOperation(c.operation, c.error, c.successesFirst);
    EXPECT_EQ(AddToTitles(registry, unshared, "v", "Accounts"), c.result);
    registry.ClearFailures();
    EXPECT_EQ(ReadTitles(registry), expected);
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

const std::vector<TitleValue> kAccountsTaken{{"a", kRegSz, Sz("Accounts")}};

INSTANTIATE_TEST_SUITE_P(
    Failures, AddToTitlesFailureTest,
    ::testing::Values(
        FailureCase{"OpenDenied", RegOperation::CreateKeyEx, kErrorAccessDenied, 0, kAccountsTaken,
                    std::nullopt, kErrorAccessDenied},
        FailureCase{"ExistenceTestFailsCountsAsAbsent", RegOperation::QueryValueEx,
                    kErrorAccessDenied, 0, kAccountsTaken, Sz("Accounts #1"), kErrorSuccess},
        FailureCase{"StoreRefused", RegOperation::SetValueEx, kErrorAccessDenied, 0, kAccountsTaken,
                    std::nullopt, kErrorAccessDenied},
        FailureCase{"EnumerationDeniedAtEveryIndex", RegOperation::EnumValue, kErrorAccessDenied, 0,
                    kAccountsTaken, Sz("Accounts"), kErrorSuccess},
        FailureCase{"KeyDeletedAfterFirstMatch", RegOperation::EnumValue, kErrorKeyDeleted, 1,
                    kAccountsTaken, Sz("Accounts #1"), kErrorSuccess},
        FailureCase{"MoreDataAtEveryIndex", RegOperation::EnumValue, kErrorMoreData, 0,
                    kAccountsTaken, Sz("Accounts"), kErrorSuccess}),
    [](const ::testing::TestParamInfo<FailureCase>& param) { return param.param.label; });

}  // namespace
}  // namespace instdll
