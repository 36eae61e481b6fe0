#pragma once

#include <windows.h>

#include <functional>

#include "stamping/stamp_files.h"
#include "stamping/stamp_report.h"

namespace instdll {

// Where the user parameters live in the target file: raw data, language neutral.
inline constexpr WORD kRawDataType = 10;  // RT_RCDATA
inline constexpr WORD kFirstParamResource = 300;
inline constexpr WORD kSecondParamResource = 301;
inline constexpr WORD kNeutralLanguage = 0;

// The calls of StampUserParams that tests replace: the box a user has to close, the commit of
// the resource update (Windows' drops an overlay, Wine's keeps it), the file reads and writes,
// and the move that puts the stamped copy in the target's place.
struct UserParamsCalls {
    std::function<int(HWND, const char* text, const char* caption, UINT style)> showMessage =
        ::MessageBoxA;
    std::function<BOOL(HANDLE update, BOOL discard)> endUpdate = ::EndUpdateResourceA;
    FileCalls files;
    std::function<BOOL(const char* from, const char* to, DWORD flags)> moveFile = ::MoveFileExA;
};

// Shows the box, then stamps the two parameters into a copy of the target and moves the copy
// into the target's place once it has been checked. On any failure the target keeps every
// byte and the copy is gone. Memory stays within a few stream chunks whatever the file's size.
// `report`, if given, is told how each step ended.
void StampUserParams(const UserParamsCalls& calls, const char* targetFile, const char* first,
                     const char* second, StampReport* report = nullptr);
// As above with the system's own calls: what WriteUserParams runs.
void StampUserParams(const char* targetFile, const char* first, const char* second,
                     StampReport* report = nullptr);

}  // namespace instdll
