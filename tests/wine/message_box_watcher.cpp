#include "tests/wine/message_box_watcher.h"

#include <cstring>

#include "tests/wine/dialog_deadline.h"

namespace instdll::testing {
namespace {

constexpr DWORD kPollMs = 20;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

BOOL CALLBACK RecordControl(HWND control, LPARAM box) {
    auto& shown = *reinterpret_cast<ShownBox*>(box);
    if (!IsWindowVisible(control)) return TRUE;
    char className[16] = {};
    GetClassNameA(control, className, sizeof className);
    const auto style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    if (_stricmp(className, "Button") == 0) {
        shown.buttons.push_back(GetDlgCtrlID(control));
    } else if (_stricmp(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
        shown.icon = SendMessageA(control, STM_GETICON, 0, 0) != 0;
    } else if (_stricmp(className, "Static") == 0) {
        char text[1024] = {};
        GetWindowTextA(control, text, sizeof text);
        shown.texts.emplace_back(text);
    }
    return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher()
    : owner_(GetCurrentThreadId()),
      finished_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      worker_(CreateThread(nullptr, 0, &Run, this, 0, nullptr)) {}

const ShownBox& MessageBoxWatcher::Finish() {
    if (worker_ != nullptr) {
        SetEvent(finished_);
        WaitForSingleObject(worker_, INFINITE);
        CloseHandle(worker_);
        CloseHandle(finished_);
        worker_ = nullptr;
    }
    return box_;
}

DWORD WINAPI MessageBoxWatcher::Run(void* self) {
    static_cast<MessageBoxWatcher*>(self)->Watch();
    return 0;
}

// The box, or null once the call has returned without one.
HWND MessageBoxWatcher::AwaitBox() const {
    // GetTickCount, not its 64-bit sibling that Windows XP lacks: a difference of two readings
    // stays right across its wrap.
    const DWORD start = GetTickCount();
    for (;;) {
        const bool finished = WaitForSingleObject(finished_, kPollMs) == WAIT_OBJECT_0;
        HWND box = nullptr;
        EnumThreadWindows(owner_, &FindDialog, reinterpret_cast<LPARAM>(&box));
        if (box != nullptr || finished) return box;
        if (GetTickCount() - start >= kDialogDeadlineMs) {
            EndTheRunAsFailed("no message box and no return");
        }
    }
}

void MessageBoxWatcher::Watch() {
    const HWND box = AwaitBox();
    if (box == nullptr) return;
    box_.shown = true;
    box_.owned = GetWindow(box, GW_OWNER) != nullptr;
    char caption[1024] = {};
    GetWindowTextA(box, caption, sizeof caption);
    box_.caption = caption;
    EnumChildWindows(box, &RecordControl, reinterpret_cast<LPARAM>(&box_));
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    const DWORD start = GetTickCount();
    for (DWORD waited = kPollMs; IsWindow(box); waited += kPollMs) {
        if (GetTickCount() - start >= kDialogDeadlineMs) {
            EndTheRunAsFailed("the message box did not close");
        }
        // A click lost on a busy machine: Cancel, which every box takes.
        if (waited % 5000 == 0) PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        Sleep(kPollMs);
    }
}

}  // namespace instdll::testing
