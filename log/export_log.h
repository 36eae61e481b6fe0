#pragma once

#include <windows.h>

#include <optional>

#include "log/call_log.h"

namespace instdll {

// The variable that names the log file; read at every call, so that a script can switch the
// log on after loading the library.
inline constexpr wchar_t kLogVariable[] = L"INSTDLL_LOG";

// Writers lock one byte of the log, at this high half of its offset: 2^62, beyond any real log.
inline constexpr DWORD kWriterLockOffsetHigh = 0x40000000;
// The longest a call waits for that lock in all, in milliseconds; then its lines are dropped.
inline constexpr DWORD kLongestLockWait = 1000;

// The file named by the variable, for the call `exportName`: each line goes to its end in one
// write, whole, however many processes share the file. A line that cannot be written whole (the
// lock held by another writer past the wait, a failed write) is dropped, and the next line this
// process writes is preceded by one that counts them. Closed when the call ends.
class LogFile final : public LogSink {
public:
    explicit LogFile(const char* exportName) noexcept;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile();

    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Append(const char* line, std::size_t size) noexcept override;

private:
    enum class Lock { Held, Unsupported, TimedOut };
    Lock TakeLock(OVERLAPPED& lock) noexcept;
    bool WriteAtEnd(const char* text, std::size_t size) noexcept;
    bool WriteDroppedCount() noexcept;

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    const char* exportName_;
    DWORD waited_ = 0;  // milliseconds this call has waited for the lock
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
    // Which registry view the process sees and its ANSI code page, so that what the call names
    // can be found again.
    void Process();

private:
    LogFile file_;
    SystemAnsiToUtf8 converter_;
    std::optional<CallLog> call_;
};

}  // namespace instdll
