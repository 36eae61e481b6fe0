#include "log/export_log.h"

#include <cstring>

#include "log/log_file_check.h"
#include "log/log_format.h"
#include "registry/access_control.h"
#include "text/system_code_page.h"

namespace instdll {
namespace {

// Longer paths leave the log off rather than make the buffer grow.
constexpr DWORD kLongestLogPath = 1024;
// ANSI bytes converted at once; a chunk never ends inside a character, of two bytes or, under
// UTF-8, of up to four.
constexpr int kChunk = 128;
constexpr DWORD kLockRetryInterval = 10;  // milliseconds
constexpr std::size_t kDroppedCountCapacity = 256;

// Lines of this process that no log took since the last one written, whichever call made them.
LONG droppedLines = 0;

template <std::size_t Capacity>
class FixedText {
public:
    void Put(std::string_view text) {
        for (const char c : text) {
            if (size_ + 1 >= sizeof text_) return;
            text_[size_++] = c;
        }
    }
    // `value` in at least `width` decimal digits, zeros in front.
    void Digits(unsigned value, int width) {
        char digits[12] = {};
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0 || count < width);
        char shown[12] = {};
        for (int i = 0; i < count; ++i) shown[i] = digits[count - 1 - i];
        Put(shown);
    }
    std::string_view view() const { return {text_, size_}; }

private:
    char text_[Capacity] = {};
    std::size_t size_ = 0;
};

using PrefixText = FixedText<CallLog::kPrefixCapacity>;

// "YYYY-MM-DD hh:mm:ss.mmm [pid] Export"
PrefixText CallPrefix(const char* exportName) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    struct Field {
        unsigned value;
        int width;
        const char* after;
    };
    const Field fields[] = {
        {now.wYear, 4, "-"},          {now.wMonth, 2, "-"},
        {now.wDay, 2, " "},           {now.wHour, 2, ":"},
        {now.wMinute, 2, ":"},        {now.wSecond, 2, "."},
        {now.wMilliseconds, 3, " ["}, {GetCurrentProcessId(), 1, "] "},
    };
    PrefixText prefix;
    for (const Field& field : fields) {
        prefix.Digits(field.value, field.width);
        prefix.Put(field.after);
    }
    prefix.Put(exportName);
    return prefix;
}

// IsWow64Process is looked up: the oldest supported systems lack it, and they are all 32-bit.
const char* ProcessView() {
#ifdef _WIN64
    return kLogProcess64;
#else
    using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto isWow64 = kernel == nullptr ? nullptr
                                           : reinterpret_cast<IsWow64>(reinterpret_cast<void (*)()>(
                                                 GetProcAddress(kernel, "IsWow64Process")));
    BOOL wow64 = FALSE;
    if (isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) && wow64) {
        return kLogProcessWow64;
    }
    return kLogProcess32;
#endif
}

static_assert(kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY &&
              kFileAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);

// A link at the path is opened as itself and refused, never followed. A new log takes no
// rights from its folder, which may be one that anyone can write: administrators, SYSTEM and the
// user who made it may write it, everyone else only read it.
HANDLE OpenLogFile(const wchar_t* path) {
    SidBuffer administrators = SidBuffer::WellKnown(WinBuiltinAdministratorsSid);
    SidBuffer system = SidBuffer::WellKnown(WinLocalSystemSid);
    SidBuffer everyone = SidBuffer::WellKnown(WinWorldSid);
    ProcessSids process;
    AllowOnly newLog({{administrators.get(), FILE_ALL_ACCESS},
                      {system.get(), FILE_ALL_ACCESS},
                      {process.user.get(), FILE_ALL_ACCESS},
                      {everyone.get(), FILE_GENERIC_READ}});
    if (newLog.get() == nullptr) return INVALID_HANDLE_VALUE;
    const HANDLE file =
        CreateFileW(path, FILE_APPEND_DATA | FILE_READ_DATA,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, newLog.get(),
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return file;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool read = GetFileInformationByHandle(file, &info) != FALSE;
    if (JudgeLogFile(read, info.dwFileAttributes, info.nNumberOfLinks) == LogFileVerdict::Usable) {
        return file;
    }
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

// Read access too, which the lock needs on Windows; without write access (only append) every
// write still lands at the end.
LogFile::LogFile(const char* exportName) noexcept : exportName_(exportName) {
    wchar_t path[kLongestLogPath];
    const DWORD length = GetEnvironmentVariableW(kLogVariable, path, kLongestLogPath);
    if (length == 0 || length >= kLongestLogPath) return;
    handle_ = OpenLogFile(path);
}

LogFile::~LogFile() {
    if (is_open()) CloseHandle(handle_);
}

// Tries again until the call's wait is spent: a writer that is suspended or hung holding the
// lock must not hang every logged call. A file system without locks is written unlocked.
LogFile::Lock LogFile::TakeLock(OVERLAPPED& lock) noexcept {
    const DWORD start = GetTickCount();
    for (;;) {
        if (LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &lock)) {
            waited_ += GetTickCount() - start;
            return Lock::Held;
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION) return Lock::Unsupported;
        if (waited_ + (GetTickCount() - start) >= kLongestLockWait) {
            waited_ = kLongestLockWait;
            return Lock::TimedOut;
        }
        Sleep(kLockRetryInterval);
    }
}

bool LogFile::WriteAtEnd(const char* text, std::size_t size) noexcept {
    OVERLAPPED atEnd{};
    atEnd.Offset = atEnd.OffsetHigh = 0xFFFFFFFF;
    DWORD written = 0;
    return WriteFile(handle_, text, static_cast<DWORD>(size), &written, &atEnd) && written == size;
}

// "prefix: N lines dropped before this one: ...", when there are any.
bool LogFile::WriteDroppedCount() noexcept {
    const LONG dropped = InterlockedExchange(&droppedLines, 0);
    if (dropped == 0) return true;
    FixedText<kDroppedCountCapacity> text;
    text.Put(CallPrefix(exportName_).view());
    text.Put(": ");
    text.Digits(static_cast<unsigned>(dropped), 1);
    text.Put(kLogLinesDropped);
    text.Put(": the log stayed locked or failed to take them\r\n");
    const std::string_view line = text.view();
    if (WriteAtEnd(line.data(), line.size())) return true;
    InterlockedExchangeAdd(&droppedLines, dropped);
    return false;
}

// Appending alone is atomic on Windows but not under Wine, where two processes can both write
// at what each found to be the end. A lock on one byte far past any log's end orders the writers
// without keeping readers out of the text.
void LogFile::Append(const char* line, std::size_t size) noexcept {
    OVERLAPPED lock{};
    lock.OffsetHigh = kWriterLockOffsetHigh;
    const Lock taken = TakeLock(lock);
    const bool written = taken != Lock::TimedOut && WriteDroppedCount() && WriteAtEnd(line, size);
    if (!written) InterlockedIncrement(&droppedLines);
    if (taken == Lock::Held) UnlockFileEx(handle_, 0, 1, 0, &lock);
}

void SystemAnsiToUtf8::Convert(std::string_view ansi, LogRecord& record) const noexcept {
    wchar_t wide[kChunk];
    char utf8[kChunk * 3];
    while (!ansi.empty()) {
        const std::size_t take = CharBoundaryAtOrBefore(ansi, kChunk, SystemCodePage());
        const int wideLength =
            MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(take), wide, kChunk);
        const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, utf8,
                                                   static_cast<int>(sizeof utf8), nullptr, nullptr);
        record.Utf8(utf8, utf8Length > 0 ? static_cast<std::size_t>(utf8Length) : 0);
        ansi.remove_prefix(take);
    }
}

ExportLog::ExportLog(const char* exportName) noexcept : file_(exportName) {
    if (!file_.is_open()) return;
    call_.emplace(file_, converter_, CallPrefix(exportName).view());
}

void ExportLog::Process() {
    if (get() != nullptr) {
        Record().Text(kLogProcess).Text(ProcessView()).Text(kLogCodePage).Number(GetACP());
    }
}

int ExportLog::Result(int result) {
    Record().Text(kLogReturned).Number(result);
    return result;
}

}  // namespace instdll
