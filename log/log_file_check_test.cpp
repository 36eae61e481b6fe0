#include "log/log_file_check.h"

#include "gtest/gtest.h"

namespace instdll {
namespace {

TEST(LogFileCheck, OnlyAPlainFileOfOneNameIsWritten) {
    constexpr std::uint32_t kArchive = 0x20;
    struct Case {
        bool infoRead;
        std::uint32_t attributes;
        std::uint32_t links;
        LogFileVerdict verdict;
    };
    const Case cases[] = {
        {true, kArchive, 1, LogFileVerdict::Usable},
        {true, kArchive, 2, LogFileVerdict::HardLinked},
        {true, kArchive | kFileAttributeReparsePoint, 1, LogFileVerdict::Link},
        // A link is refused however many names its target has.
        {true, kFileAttributeReparsePoint, 3, LogFileVerdict::Link},
        {true, kFileAttributeDirectory, 1, LogFileVerdict::NotAFile},
        // Nothing known of the file: not written.
        {false, kArchive, 1, LogFileVerdict::Unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.attributes << " links " << c.links);
        EXPECT_EQ(JudgeLogFile(c.infoRead, c.attributes, c.links), c.verdict);
    }
}

}  // namespace
}  // namespace instdll
