#pragma once

#include <string>
#include <string_view>

#include "log/call_log.h"

namespace instdll::testing {

// Keeps what a log writes, lines and terminators as written.
class TextSink final : public LogSink {
public:
    void Append(const char* line, std::size_t size) noexcept override { text.append(line, size); }
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
