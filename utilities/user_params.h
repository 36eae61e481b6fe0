#pragma once

#include <windows.h>

#include <functional>

namespace instdll {

// Where the user parameters live in the target file: raw data, language neutral.
inline constexpr WORD kRawDataType = 10;  // RT_RCDATA
inline constexpr WORD kFirstParamResource = 300;
inline constexpr WORD kSecondParamResource = 301;
inline constexpr WORD kNeutralLanguage = 0;

// The calls of StampUserParams that tests replace: the box a user has to close, and the commit
// of the resource update (Windows' drops an overlay, Wine's keeps it).
struct UserParamsCalls {
    std::function<int(HWND, const char* text, const char* caption, UINT style)> showMessage =
        ::MessageBoxA;
    std::function<BOOL(HANDLE update, BOOL discard)> endUpdate = ::EndUpdateResourceA;
};

void StampUserParams(const UserParamsCalls& calls, const char* targetFile, const char* first,
                     const char* second);

}  // namespace instdll
