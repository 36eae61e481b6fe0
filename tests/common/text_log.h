#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "gtest/gtest.h"
#include "log/call_log.h"
#include "text/utf8.h"

namespace instdll::testing {

// Every log a test reads goes through this: the log is UTF-8 text whatever the code page, and a
// character split by the converter's chunks or by a continued line shows here, with its line.
inline ::testing::AssertionResult IsUtf8Log(std::string_view text) {
    std::size_t number = 1;
    for (std::size_t start = 0; start < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        if (!IsWellFormedUtf8(line)) {
            return ::testing::AssertionFailure()
                   << "log line " << number << " is not UTF-8: " << ::testing::PrintToString(line);
        }
        start = end + 1;
    }
    return ::testing::AssertionSuccess();
}

// Keeps what a log writes, lines and terminators as written.
class TextSink final : public LogSink {
public:
    void Append(const char* line, std::size_t size) noexcept override {
        EXPECT_TRUE(IsUtf8Log({line, size}));
        text.append(line, size);
    }
    std::string text;
};

// For tests whose "ANSI" text is UTF-8 already.
class Utf8Already final : public AnsiToUtf8 {
public:
    void Convert(std::string_view ansi, LogRecord& record) const noexcept override {
        record.Utf8(ansi.data(), ansi.size());
    }
};

}  // namespace instdll::testing
