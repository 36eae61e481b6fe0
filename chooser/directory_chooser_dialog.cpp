#include "chooser/directory_chooser_dialog.h"

#include <dlgs.h>

#include <vector>

#include "chooser/chooser_ids.h"
#include "chooser/chooser_language.h"
#include "chooser/chooser_layout.h"
#include "chooser/chooser_paths.h"
#include "chooser/chooser_resources.h"
#include "chooser/wide_title.h"
#include "text/system_code_page.h"

namespace instdll {
namespace {

// The platform's own rows and buttons that the chooser's row replaces. cmb13 is the file-name
// box where the platform did not give the dialog edt1.
constexpr int kHiddenPlatformControls[] = {stc3, edt1, cmb13,    stc2,   cmb1,
                                           chx1, IDOK, IDCANCEL, pshHelp};

// The description is never shown (the file-type row is hidden), but without a pattern after it
// the platform falls back to listing every file.
std::string MaskFilter(const std::string& mask) { return mask + '|' + mask + '|'; }

ScreenRect WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

void MoveChildTo(HWND child, const ScreenRect& rect) {
    POINT topLeft{rect.left, rect.top};
    POINT bottomRight{rect.right, rect.bottom};
    HWND parent = GetParent(child);
    ScreenToClient(parent, &topLeft);
    ScreenToClient(parent, &bottomRight);
    MoveWindow(child, topLeft.x, topLeft.y, bottomRight.x - topLeft.x, bottomRight.y - topLeft.y,
               TRUE);
}

// Virtual folders have no file-system path. Windows fails CDM_GETFOLDERPATH for them, but Wine
// answers with the shell's parsing name ("::{20D04FE0-...}" for My Computer), which no setup
// program can install into.
bool IsDirectory(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string ListItemText(HWND list, WPARAM index) {
    const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied =
        SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

}  // namespace

DirectoryChooserDialog::DirectoryChooserDialog(ChooserLanguage language, HWND parent,
                                               const ChooserModule& module)
    : OpenFileDialog(module.mask.c_str(), module.mask.c_str(), OFN_LONGNAMES | OFN_ENABLETEMPLATE,
                     MaskFilter(module.mask), parent),
      language_(language),
      resourceModule_(module.resourceModule) {
    const auto resources = ResourcesFor(language);
    auto& title = module.title;
    if (!title) title.emplace();
    if (resources) {
        Parameters().lpTemplateName = MAKEINTRESOURCEA(resources->childTemplate);
        *title = LoadAnsiString(resourceModule_, resources->title);
    }
    Parameters().lpstrTitle = title->c_str();
    Parameters().hInstance = resourceModule_;
}

void DirectoryChooserDialog::DoDataExchange(bool save) {
    ExchangeText(IDC_SELECTED_PATH, selectedPath_, save);
}

bool DirectoryChooserDialog::OnCommand(WORD controlId, WORD notification) {
    if (controlId == IDC_SELECT && notification == BN_CLICKED) {
        OnSelect();
        return true;
    }
    return OpenFileDialog::OnCommand(controlId, notification);
}

void DirectoryChooserDialog::OnInitDone() {
    SetTextsFromResources();
    LayOut();
    UpdateSelectButton();
}

void DirectoryChooserDialog::SetTextsFromResources() {
    // The platform dialog and the template's controls are ANSI windows: text given through them
    // passes the ANSI code page, and Cyrillic outside code page 1251 turns into '?'. The
    // controls, built-in classes, keep UTF-16 text given to them directly.
    const auto resources = ResourcesFor(language_);
    WideText folderListLabel;
    if (resources) {
        SetWideTitle(PlatformDialog(), LoadWideString(resourceModule_, resources->title).c_str());
        for (const auto& [id, text] :
             TemplateControlTexts(resourceModule_, resources->childTemplate))
            SetDlgItemTextW(Window(), id, text.c_str());
        folderListLabel = LoadWideString(resourceModule_, resources->folderListLabel);
    }
    SetDlgItemTextW(PlatformDialog(), stc4, folderListLabel.c_str());
}

void DirectoryChooserDialog::LayOut() {
    HWND platform = PlatformDialog();
    HWND fileNameBox = GetDlgItem(platform, edt1);
    if (fileNameBox == nullptr) fileNameBox = GetDlgItem(platform, cmb13);
    for (int id : kHiddenPlatformControls) {
        HWND control = GetDlgItem(platform, id);
        if (control != nullptr) ShowWindow(control, SW_HIDE);
    }
    HWND placeholder = GetDlgItem(Window(), stc32);
    HWND label = GetDlgItem(Window(), IDC_SELECTED_PATH_LABEL);
    HWND edit = GetDlgItem(Window(), IDC_SELECTED_PATH);
    if (fileNameBox == nullptr || placeholder == nullptr || label == nullptr || edit == nullptr)
        return;

    ChooserPlacement measured;
    measured.anchorTop = WindowRect(fileNameBox).top;
    measured.placeholder = WindowRect(placeholder);
    measured.label = WindowRect(label);
    measured.edit = WindowRect(edit);
    measured.dialog = WindowRect(platform);
    const ChooserPlacement laidOut = LayOutChooser(measured);
    MoveChildTo(placeholder, laidOut.placeholder);
    MoveChildTo(label, laidOut.label);
    MoveChildTo(edit, laidOut.edit);
    // The dialog is top-level: its rectangle is already in screen coordinates.
    const ScreenRect& dialog = laidOut.dialog;
    MoveWindow(platform, dialog.left, dialog.top, dialog.right - dialog.left, dialog.height(),
               TRUE);
}

void DirectoryChooserDialog::OnFolderChange() {
    char folder[kPathBufferSize]{};
    const LRESULT reply = SendMessageA(PlatformDialog(), CDM_GETFOLDERPATH, kPathBufferSize,
                                       reinterpret_cast<LPARAM>(folder));
    std::string shown = FolderPathFromReply(reply, folder);
    if (!IsDirectory(shown)) shown.clear();
    SetDlgItemTextA(Window(), IDC_SELECTED_PATH, shown.c_str());
    UpdateSelectButton();
}

void DirectoryChooserDialog::OnSelect() {
    const std::string shown = ControlText(IDC_SELECTED_PATH);
    if (!IsUsableChoice(shown)) return;
    selectedPath_ = shown;
    EndDialog(PlatformDialog(), 1);
}

void DirectoryChooserDialog::OnLBSelChangedNotify(UINT, UINT, UINT) {
    HWND list = GetDlgItem(Window(), lst2);
    const LRESULT selection = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (selection != LB_ERR) {
        std::vector<std::string> items;
        for (LRESULT i = 0; i <= selection; ++i)
            items.push_back(ListItemText(list, static_cast<WPARAM>(i)));
        selectedPath_ = JoinDirectoryListItems(items, SystemCodePage());
    }
    UpdateData(false);
    // The caret before the last character; for an empty path, -1 clears the selection.
    const auto caret = static_cast<WPARAM>(static_cast<LPARAM>(selectedPath_.size()) - 1);
    SendDlgItemMessageA(Window(), IDC_SELECTED_PATH, EM_SETSEL, caret, static_cast<LPARAM>(caret));
    UpdateSelectButton();
}

void DirectoryChooserDialog::UpdateSelectButton() {
    EnableWindow(GetDlgItem(Window(), IDC_SELECT),
                 IsUsableChoice(ControlText(IDC_SELECTED_PATH)) ? TRUE : FALSE);
}

}  // namespace instdll
