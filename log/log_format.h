#pragma once

// The words of the call log that instdll-inspect reads back to restore what a prune deleted:
// the log writes them from here and the reader looks for them here.
namespace instdll {

// After the prefix "YYYY-MM-DD hh:mm:ss.mmm [pid] Export": a record's first line, and each
// further line of a record too long for one.
inline constexpr char kLogRecordMark[] = ": ";
inline constexpr char kLogContinuationMark[] = ":+ ";

inline constexpr char kLogPruneExport[] = "RemoveAllInCatExcept";

inline constexpr char kLogCalled[] = "called";
inline constexpr char kLogReturned[] = "returned ";
// The registry view the calling process sees: where its keys really are.
inline constexpr char kLogProcess[] = "process: ";
inline constexpr char kLogProcess64[] = "64-bit";
inline constexpr char kLogProcess32[] = "32-bit";
inline constexpr char kLogProcessWow64[] = "32-bit on 64-bit Windows";
// After the view: the process's ANSI code page, in which the call's names and text were.
inline constexpr char kLogCodePage[] = ", code page ";

inline constexpr char kLogCounter[] = "counter ";
inline constexpr char kLogCounterNotWritten[] = "counter not written";
inline constexpr char kLogDeletedWith[] = "deleted, with ";
inline constexpr char kLogDelete[] = "delete";
inline constexpr char kLogFailed[] = " failed: error ";
inline constexpr char kLogWrote[] = "wrote ";
inline constexpr char kLogOver[] = " over ";
// After a count: lines of this process that never reached the log.
inline constexpr char kLogLinesDropped[] = " lines dropped before this one";

// A value the log names without its data.
inline constexpr char kLogValueAbsent[] = " absent";
inline constexpr char kLogValueUnread[] = " unread";
inline constexpr char kLogValueHolds[] = " holds ";
inline constexpr char kLogValueTooLong[] = ", too many to log";

}  // namespace instdll
