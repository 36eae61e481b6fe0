#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <string>

namespace instdll {

// The platform's explorer-style open-file dialog with a hook and a child template, as a class
// whose handlers a derived dialog overrides. The hook attaches the object to the window it
// serves (the child template's window; the dialog itself when it is not explorer-style).
class OpenFileDialog {
public:
    // `filter` separates descriptions and patterns with '|'.
    OpenFileDialog(const char* defaultExtension, const char* fileName, DWORD flags,
                   const std::string& filter, HWND parent);
    OpenFileDialog(const OpenFileDialog&) = delete;
    OpenFileDialog& operator=(const OpenFileDialog&) = delete;
    virtual ~OpenFileDialog() = default;

    // The platform call's parameters, to adjust between construction and DoModal.
    OPENFILENAMEA& Parameters() { return parameters_; }

    // Runs the dialog on the calling thread: the platform call's result when nonzero, else
    // IDCANCEL.
    INT_PTR DoModal();

protected:
    // The window the hook serves, and the platform dialog around it.
    HWND Window() const { return window_; }
    HWND PlatformDialog() const;

    // Moves data between the controls and the object: `save` reads the controls.
    void UpdateData(bool save) { DoDataExchange(save); }
    // The one exchange the chooser needs: an edit box's whole text. Loading writes only when
    // the text differs, so the caret and selection survive an unchanged value.
    void ExchangeText(int controlId, std::string& value, bool save);
    std::string ControlText(int controlId) const;

    virtual void DoDataExchange(bool /*save*/) {}
    virtual void OnInitDone() {}
    virtual void OnFolderChange() {}
    // True when the command was handled. The base handles IDCANCEL.
    virtual bool OnCommand(WORD controlId, WORD notification);
    // Ends the platform dialog with IDCANCEL.
    virtual void OnCancel();
    virtual void OnLBSelChangedNotify(UINT /*listId*/, UINT /*index*/, UINT /*code*/) {}

private:
    static UINT_PTR CALLBACK HookProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static UINT_PTR DispatchHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    UINT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void HandleNotification(UINT code);

    OPENFILENAMEA parameters_{};
    char fileName_[MAX_PATH]{};
    char fileTitle_[64]{};
    std::string filter_;
    HWND parent_;
    HWND window_ = nullptr;
    // The old-style dialog's list notification; registered names map to the same id for the
    // session's life.
    UINT listSelectionChanged_ = RegisterWindowMessageA(LBSELCHSTRINGA);
};

}  // namespace instdll
