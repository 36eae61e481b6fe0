#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace instdll::testing {

// What a message box showed.
struct ShownBox {
    bool shown = false;
    bool owned = false;
    std::string caption;
    std::vector<std::string> texts;  // of the visible text controls
    std::vector<int> buttons;        // control IDs of the visible buttons
    bool icon = false;
};

// Finds the dialog that the constructing thread shows, records it and presses its OK button.
// It watches until Finish, so a box however late is pressed; should neither the box nor Finish
// come within kDialogDeadlineMs, or the box not go, the run ends as failed.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    ~MessageBoxWatcher() { Finish(); }

    // Once the call that shows the box has returned: what it showed.
    const ShownBox& Finish();

private:
    static DWORD WINAPI Run(void* self);
    void Watch();
    HWND AwaitBox() const;

    DWORD owner_;
    HANDLE finished_;
    HANDLE worker_;
    ShownBox box_;
};

}  // namespace instdll::testing
