#pragma once

#include <windows.h>

#include <optional>

#include "log/call_log.h"

namespace instdll {

// The variable that names the log file; read at every call, so that a script can switch the
// log on after loading the library.
inline constexpr wchar_t kLogVariable[] = L"INSTDLL_LOG";

// The file named by the variable: each line goes to its end in one write, whole, however many
// processes share the file. Closed when the call ends.
class LogFile final : public LogSink {
public:
    LogFile() noexcept;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile();

    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Append(const char* line, std::size_t size) noexcept override;

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The ANSI code page of the process, through UTF-16.
class SystemAnsiToUtf8 final : public AnsiToUtf8 {
public:
    void Convert(std::string_view ansi, LogRecord& record) const noexcept override;
};

// The log of one export call: on when the variable names a file that opens, else null, and
// then the call costs what it costs unlogged.
class ExportLog {
public:
    explicit ExportLog(const char* exportName) noexcept;

    CallLog* get() { return call_ ? &*call_ : nullptr; }
    LogRecord Record() { return LogRecord(get()); }
    // The call's result as its record's last line; returns it unchanged.
    int Result(int result);
    // Which registry view the process sees, so that what the call names can be found again.
    void Process();

private:
    LogFile file_;
    SystemAnsiToUtf8 converter_;
    std::optional<CallLog> call_;
};

}  // namespace instdll
