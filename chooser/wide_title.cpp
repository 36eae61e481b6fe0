#include "chooser/wide_title.h"

namespace instdll {
namespace {

constexpr wchar_t kPreviousProcedure[] = L"InstDLL.WideTitle.PreviousProcedure";

LRESULT CALLBACK WideTextProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto previous = reinterpret_cast<WNDPROC>(GetPropW(window, kPreviousProcedure));
    if (message == WM_GETTEXT || message == WM_GETTEXTLENGTH)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropW(window, kPreviousProcedure);
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

}  // namespace

void SetWideTitle(HWND dialog, const wchar_t* title) {
    DefWindowProcW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title));
    if (GetPropW(dialog, kPreviousProcedure) != nullptr) return;
    const LONG_PTR previous = GetWindowLongPtrW(dialog, GWLP_WNDPROC);
    if (SetPropW(dialog, kPreviousProcedure, reinterpret_cast<HANDLE>(previous)))
        SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WideTextProcedure));
}

}  // namespace instdll
