#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "text/ansi_text.h"

namespace instdll {

// The caller's path buffer, and every path the chooser handles, holds this many bytes.
inline constexpr std::size_t kPathBufferSize = 260;

// What the edit box shows for a CDM_GETFOLDERPATH reply: the folder in `buffer` (kPathBufferSize
// bytes), or "" when the reply, read as an unsigned 32-bit number, exceeds the buffer. That
// takes in every negative failure as well as a path that needs more room.
std::string FolderPathFromReply(long long reply, const char* buffer);

// The path the caller proposes in its buffer of kPathBufferSize bytes: up to the terminating
// zero, or, without one, the whole characters that fit in one byte less.
std::string ProposedPath(const char* buffer, const AnsiCodePage& codePage);

// The old-style dialog's directory list joined into a path: the drive item and one item per
// directory down to the selected one, each followed by a backslash unless it ends in one.
std::string JoinDirectoryListItems(const std::vector<std::string>& items,
                                   const AnsiCodePage& codePage);

// What a selection call does once its dialog has ended.
struct SelectionOutcome {
    bool removeProposed = false;
    bool copyChoice = false;
    int result = 0;
};

// `selectPressed`: the dialog ended with Select; `createdProposed`: this call created the
// proposed directory. A choice counts only when it is a path that fits the caller's buffer;
// then the proposed directory goes unless the choice names the same folder (letter case and
// trailing separators aside). Otherwise only a directory this call created goes.
SelectionOutcome DecideSelection(bool selectPressed, bool createdProposed,
                                 const std::string& proposed, const std::string& chosen,
                                 const AnsiCodePage& codePage);

// True when `path` is a choice the caller's buffer can take: not empty, and it fits with its
// terminating zero.
bool IsUsableChoice(const std::string& path);

}  // namespace instdll
