#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace instdll::testing {

// The chooser as a user meets it, worked from a thread other than the one that runs its modal
// loop. Every wait ends after `timeoutMs`.
class LiveChooser {
public:
    // Waits for the chooser that thread `threadId` shows; false when `stillRunning` turns false
    // first. The run ends as failed when neither comes within kDialogDeadlineMs.
    bool Attach(DWORD threadId, const std::function<bool()>& stillRunning);

    // The platform's open-file dialog, and the window of the chooser's own row inside it.
    HWND dialog() const { return dialog_; }
    HWND row() const { return row_; }
    HWND PlatformControl(int id) const { return GetDlgItem(dialog_, id); }
    HWND RowControl(int id) const { return GetDlgItem(row_, id); }

    // The text a window stores and paints, without passing any code page.
    static std::wstring Text(HWND window);
    static RECT Rect(HWND window);

    // The folder the read-only edit box shows, in the ANSI code page.
    std::string ShownFolder() const;
    bool WaitForShownFolder(const std::string& expected, DWORD timeoutMs = 10000) const;

    // Types `folder` into the platform's file-name box and presses its Open button, as a user
    // opens a folder by name.
    void OpenFolder(const std::string& folder) const;
    // The toolbar's up-one-level button.
    void GoUp() const;
    // The names in the folder list, once it lists `expected` (or after the timeout).
    std::vector<std::string> ListedNamesOnceShown(const std::string& expected,
                                                  DWORD timeoutMs = 10000) const;

    void Click(int rowControlId) const;
    // The close box of the title bar.
    void Close() const;
    bool WaitUntilGone(DWORD timeoutMs = 10000) const;

private:
    HWND dialog_ = nullptr;
    HWND row_ = nullptr;
};

// Runs `call`, which shows the chooser, on this thread while `drive` works it from a second
// thread. Whatever `drive` leaves open is closed afterwards, so a failing check cannot hang
// the run; a chooser that neither comes nor goes within kDialogDeadlineMs ends the run as
// failed. Returns `call`'s result; `problem` names what kept the driving from its end, or is
// empty.
int RunWithChooser(const std::function<int()>& call,
                   const std::function<void(LiveChooser&)>& drive, std::string& problem);

}  // namespace instdll::testing
