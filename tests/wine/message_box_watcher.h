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
// Gives up after a few seconds, so that a missing box never hangs the run.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    ~MessageBoxWatcher() { Finish(); }

    const ShownBox& Finish();

private:
    static DWORD WINAPI Run(void* self);
    void Watch();

    DWORD owner_;
    HANDLE worker_;
    ShownBox box_;
};

}  // namespace instdll::testing
