#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gtest/gtest.h"

namespace {

// gtest's own filter syntax: `*` any run of characters, `?` any one.
bool Matches(const char* pattern, const char* name) {
    if (*pattern == '\0') return *name == '\0';
    if (*pattern == '*')
        return Matches(pattern + 1, name) || (*name != '\0' && Matches(pattern, name + 1));
    return *name != '\0' && (*pattern == '?' || *pattern == *name) &&
           Matches(pattern + 1, name + 1);
}

int TestsMatching(const std::string& pattern) {
    const ::testing::UnitTest& tests = *::testing::UnitTest::GetInstance();
    int count = 0;
    for (int s = 0; s < tests.total_test_suite_count(); ++s) {
        const ::testing::TestSuite& suite = *tests.GetTestSuite(s);
        for (int t = 0; t < suite.total_test_count(); ++t) {
            const std::string name = std::string(suite.name()) + "." + suite.GetTestInfo(t)->name();
            count += Matches(pattern.c_str(), name.c_str());
        }
    }
    return count;
}

// gtest runs what a filter selects and passes on nothing: a pattern naming a renamed suite would
// drop its tests unnoticed. Each pattern before the negative part must select a test.
bool EveryPatternSelects(const std::string& filter) {
    const std::string positive = filter.substr(0, filter.find('-'));
    bool all = true;
    for (std::size_t start = 0; start <= positive.size();) {
        std::size_t end = positive.find(':', start);
        if (end == std::string::npos) end = positive.size();
        const std::string pattern = positive.substr(start, end - start);
        if (!pattern.empty() && TestsMatching(pattern) == 0) {
            std::fprintf(stderr, "the filter's pattern %s selects no test\n", pattern.c_str());
            all = false;
        }
        start = end + 1;
    }
    return all;
}

// A run meant for one code page that got another would pass as that run: the tests adapt to
// whatever GetACP() answers.
bool RunsUnderTheExpectedCodePage() {
    const char* expected = std::getenv("INSTDLL_EXPECTED_CODE_PAGE");
    if (expected == nullptr || std::strtoul(expected, nullptr, 10) == GetACP()) return true;
    std::fprintf(stderr, "the ANSI code page is %u, expected %s\n", GetACP(), expected);
    return false;
}

}  // namespace

// The harness runs only where windows can open: a missing display is a failure, never a skip.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GetSystemMetrics(SM_CXSCREEN) <= 0) {
        std::fprintf(stderr, "no display: the Wine tests need an X server (DISPLAY)\n");
        return 1;
    }
    if (!EveryPatternSelects(GTEST_FLAG_GET(filter)) || !RunsUnderTheExpectedCodePage()) return 1;
    return RUN_ALL_TESTS();
}
