// The self-test's checks, run by the harness as they run on a release manager's Windows: one
// home for what both assert.
#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "selftest/checks.h"
#include "selftest/family_keys.h"
#include "selftest/folders.h"
#include "selftest/machine.h"

namespace instdll::selftest {
namespace {

std::string BesideThisProgram(const std::string& name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

class SelfTestCheck : public ::testing::TestWithParam<Check> {
protected:
    void SetUp() override {
        ASSERT_TRUE(FamilyKeysPresent().empty()) << "the prefix holds the family's keys";
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        context.dllPath = BesideThisProgram("InstDLL.dll");
        context.workDir = std::string(temp) + "instdll-selftest-harness";
        context.signedTarget = BesideThisProgram("instdll_selftest_target.exe");
        context.elevated = ProcessIsElevated();
        RemoveFolder(context.workDir);
        ASSERT_TRUE(CreateDirectoryA(context.workDir.c_str(), nullptr));
    }
    void TearDown() override {
        EXPECT_TRUE(FamilyKeysPresent().empty()) << "the check left the family's keys";
        RemoveFolder(context.workDir);
    }

    Context context;
};

TEST_P(SelfTestCheck, Passes) {
    const Check& check = GetParam();
    if (!Applies(check, context.elevated)) GTEST_SKIP() << "not for this token's elevation";
    const Outcome outcome = check.run(context);
    EXPECT_TRUE(outcome.passed) << outcome.saw;
}

// GoogleTest names a case by letters, digits and underscores only.
std::string CaseName(const ::testing::TestParamInfo<Check>& check) {
    std::string name = check.param.name;
    for (char& c : name) {
        if (c == '-') c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Checks, SelfTestCheck, ::testing::ValuesIn(Checks()), CaseName);

}  // namespace
}  // namespace instdll::selftest
