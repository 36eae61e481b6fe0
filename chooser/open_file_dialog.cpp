#include "chooser/open_file_dialog.h"

#include <algorithm>
#include <vector>

namespace instdll {
namespace {

// The window that a modal dialog without a parent belongs to: the calling thread's active
// window, or the pop-up it last activated.
HWND DefaultOwner() {
    HWND active = GetActiveWindow();
    return active == nullptr ? nullptr : GetLastActivePopup(active);
}

// Keeps the owner and its top-level window disabled while a dialog runs, then enables again
// only what it disabled and gives the focus back.
class OwnerDisabled {
public:
    explicit OwnerDisabled(HWND owner) : focus_(GetFocus()) {
        if (owner == nullptr) return;
        Disable(owner);
        HWND topLevel = GetAncestor(owner, GA_ROOT);
        if (topLevel != owner) Disable(topLevel);
    }
    OwnerDisabled(const OwnerDisabled&) = delete;
    OwnerDisabled& operator=(const OwnerDisabled&) = delete;
    ~OwnerDisabled() {
        for (HWND window : disabled_)
            if (IsWindow(window)) EnableWindow(window, TRUE);
        if (focus_ != nullptr && IsWindow(focus_)) SetFocus(focus_);
    }

private:
    void Disable(HWND window) {
        if (window != nullptr && !EnableWindow(window, FALSE)) disabled_.push_back(window);
    }

    HWND focus_;
    std::vector<HWND> disabled_;
};

}  // namespace

OpenFileDialog::OpenFileDialog(const char* defaultExtension, const char* fileName, DWORD flags,
                               const std::string& filter, HWND parent)
    : filter_(filter), parent_(parent) {
    // The pre-2000 size: with it and a hook the platform gives the dialog the plain file-name
    // edit box (edt1) rather than the combo box (cmb13).
    parameters_.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    parameters_.lpstrFile = fileName_;
    parameters_.nMaxFile = sizeof fileName_;
    if (fileName != nullptr) lstrcpynA(fileName_, fileName, sizeof fileName_);
    parameters_.lpstrFileTitle = fileTitle_;
    parameters_.nMaxFileTitle = sizeof fileTitle_;
    parameters_.lpstrDefExt = defaultExtension;
    parameters_.Flags = flags | OFN_ENABLEHOOK | OFN_EXPLORER;
    parameters_.lpfnHook = &OpenFileDialog::HookProcedure;
    parameters_.lCustData = reinterpret_cast<LPARAM>(this);
    std::replace(filter_.begin(), filter_.end(), '|', '\0');
    parameters_.lpstrFilter = filter_.c_str();
}

INT_PTR OpenFileDialog::DoModal() {
    parameters_.hwndOwner = parent_ != nullptr ? parent_ : DefaultOwner();
    OwnerDisabled ownerDisabled(parameters_.hwndOwner);
    const BOOL result = GetOpenFileNameA(&parameters_);
    return result != FALSE ? result : IDCANCEL;
}

HWND OpenFileDialog::PlatformDialog() const {
    return (parameters_.Flags & OFN_EXPLORER) != 0 ? GetParent(window_) : window_;
}

void OpenFileDialog::ExchangeText(int controlId, std::string& value, bool save) {
    if (save) {
        value = ControlText(controlId);
    } else if (ControlText(controlId) != value) {
        SetDlgItemTextA(window_, controlId, value.c_str());
    }
}

std::string OpenFileDialog::ControlText(int controlId) const {
    HWND control = GetDlgItem(window_, controlId);
    const int length = GetWindowTextLengthA(control);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

bool OpenFileDialog::OnCommand(WORD controlId, WORD) {
    if (controlId != IDCANCEL) return false;
    OnCancel();
    return true;
}

void OpenFileDialog::OnCancel() { EndDialog(PlatformDialog(), IDCANCEL); }

UINT_PTR CALLBACK OpenFileDialog::HookProcedure(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    // An exception must not unwind through the platform's dialog code: the dialog ends as
    // cancelled instead, and the export answers as for a cancel.
    try {
        return DispatchHook(window, message, wParam, lParam);
    } catch (...) {
        // An explorer-style hook runs in a child of the platform dialog, an old-style one in it.
        const bool child = (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) != 0;
        EndDialog(child ? GetParent(window) : window, IDCANCEL);
        return FALSE;
    }
}

UINT_PTR OpenFileDialog::DispatchHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        // The platform passes its parameter block, which carries the object.
        const auto* parameters = reinterpret_cast<const OPENFILENAMEA*>(lParam);
        auto* dialog = reinterpret_cast<OpenFileDialog*>(parameters->lCustData);
        dialog->window_ = window;
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
        dialog->UpdateData(false);
        return TRUE;
    }
    auto* dialog = reinterpret_cast<OpenFileDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (dialog == nullptr) return FALSE;
    if (message == WM_DESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        dialog->window_ = nullptr;
        return FALSE;
    }
    return dialog->HandleMessage(message, wParam, lParam);
}

UINT_PTR OpenFileDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        HandleNotification(reinterpret_cast<const NMHDR*>(lParam)->code);
        return FALSE;
    }
    if (message == WM_COMMAND) return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    if (message == listSelectionChanged_ && (parameters_.Flags & OFN_EXPLORER) == 0) {
        OnLBSelChangedNotify(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    }
    return FALSE;
}

void OpenFileDialog::HandleNotification(UINT code) {
    if (code == CDN_INITDONE)
        OnInitDone();
    else if (code == CDN_FOLDERCHANGE)
        OnFolderChange();
}

}  // namespace instdll
