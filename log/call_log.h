#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace instdll {

class LogRecord;

// Where a call's log lines go: each whole line, terminator included, in one append. Failures
// stay inside: the log never changes what a call does.
class LogSink {
public:
    virtual void Append(const char* line, std::size_t size) noexcept = 0;

protected:
    LogSink() = default;
    LogSink(const LogSink&) = default;
    LogSink& operator=(const LogSink&) = default;
    ~LogSink() = default;
};

// Hands the process's ANSI text to a record as UTF-8, piece by piece, never splitting a
// character.
class AnsiToUtf8 {
public:
    virtual void Convert(std::string_view ansi, LogRecord& record) const noexcept = 0;

protected:
    AnsiToUtf8() = default;
    AnsiToUtf8(const AnsiToUtf8&) = default;
    AnsiToUtf8& operator=(const AnsiToUtf8&) = default;
    ~AnsiToUtf8() = default;
};

// The log of one export call: every line starts with the same prefix (time, process, export).
class CallLog {
public:
    static constexpr std::size_t kPrefixCapacity = 96;

    // A prefix longer than kPrefixCapacity - 1 bytes is cut.
    CallLog(LogSink& sink, const AnsiToUtf8& converter, std::string_view prefix) noexcept;

    LogSink& sink() const { return sink_; }
    const AnsiToUtf8& converter() const { return converter_; }
    std::string_view prefix() const { return {prefix_, prefixSize_}; }

private:
    LogSink& sink_;
    const AnsiToUtf8& converter_;
    char prefix_[kPrefixCapacity];
    std::size_t prefixSize_ = 0;
};

// One record, built in a bounded line and written when it ends. A record too long for one line
// goes on over further lines with the same prefix, marked ":+ " where the first has ": ". A
// record of no log (null) takes everything and writes nothing.
class LogRecord {
public:
    static constexpr std::size_t kLineCapacity = 512;

    explicit LogRecord(CallLog* log) noexcept;
    LogRecord(const LogRecord&) = delete;
    LogRecord& operator=(const LogRecord&) = delete;
    ~LogRecord() { End(); }

    // Text of the log's own, ASCII.
    LogRecord& Text(std::string_view ascii) noexcept;
    // The caller's or the registry's text, converted from the ANSI code page.
    LogRecord& Ansi(std::string_view ansi) noexcept;
    LogRecord& Ansi(const char* ansi) noexcept;  // null shows as null
    // In double quotes, with backslashes and quotes escaped as a .reg file escapes them.
    LogRecord& Quoted(std::string_view ansi) noexcept;
    LogRecord& Number(long long value) noexcept;
    LogRecord& Hex(std::uint32_t value, int digits) noexcept;
    // UTF-8 pieces from the converter.
    void Utf8(const char* text, std::size_t size) noexcept;
    // Writes what is pending; nothing more is written after it.
    void End() noexcept;

private:
    void StartLine(std::string_view mark) noexcept;
    void Put(char byte) noexcept;
    void PutShown(unsigned char byte) noexcept;
    void Flush() noexcept;

    CallLog* log_;
    char line_[kLineCapacity];
    std::size_t size_ = 0;
    std::size_t textStart_ = 0;
    bool escaping_ = false;
};

}  // namespace instdll
