#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "inspect/code_page_converter.h"
#include "regfile/reg_file_writer.h"
#include "text/ansi_text.h"

namespace instdll::inspect {

// The registry view a logging process saw, as its log says.
enum class ProcessView { Native, Wow64 };

// Where a key that a process named is for every other process: a 32-bit process on 64-bit
// Windows that names HKEY_LOCAL_MACHINE\SOFTWARE\X reaches
// HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\X.
std::u16string KeyInView(std::u16string_view path, ProcessView view);

// True for a prefix of the log's "YYYY-MM-DD hh:mm:ss.mmm", from the date on.
bool IsLogTimePrefix(std::string_view text);

struct RestoreFilter {
    std::optional<std::uint32_t> pid;
    std::string from;  // calls whose time, cut to its length, is not earlier
};

// One logged pruning call the restore takes keys from.
struct PruneCall {
    std::uint32_t pid = 0;
    std::string time;
    std::size_t line = 0;
    std::string view;  // as the log names it
    std::size_t keysRestored = 0;
    std::uint32_t counterLowered = 0;
};

struct CounterRaise {
    std::u16string keyPath;
    std::uint64_t by = 0;
};

struct RestorePlan {
    std::vector<PruneCall> calls;
    std::vector<RegFileKey> keys;       // in the order they were deleted
    std::vector<CounterRaise> counter;  // one per counter key the calls lowered
    std::vector<std::string> gaps;      // what the file lacks or may lack and why, "line N: ..."
};

struct LogRefusal {
    std::size_t line = 0;
    std::string expected;
};

// Reads a call log and gathers what the selected pruning calls deleted and how far they lowered
// the counter. Refuses a file that is not such a log at the first line the library would not
// have written, and so a key the pruning would not delete, in the view the call names; within a
// log, whatever cannot be put back as it was, or that the log does not prove whole, is named.
// Family names are compared as `codePage` compares them, as the library does.
std::variant<RestorePlan, LogRefusal> ReadRunLog(std::istream& in, const RestoreFilter& filter,
                                                 const CodePageConverter& converter,
                                                 const AnsiCodePage& codePage);

}  // namespace instdll::inspect
