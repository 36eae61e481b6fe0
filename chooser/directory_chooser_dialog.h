#pragma once

#include <string>

#include "chooser/chooser_language.h"
#include "chooser/chooser_module.h"
#include "chooser/open_file_dialog.h"

namespace instdll {

// The open-file dialog turned into a folder picker: the platform's file-name row, file-type
// row and buttons give way to a row that shows the current folder, with Select and Cancel.
// The mask lets no file through, so the list shows folders only.
class DirectoryChooserDialog final : public OpenFileDialog {
public:
    DirectoryChooserDialog(ChooserLanguage language, HWND parent, const ChooserModule& module);

    // The folder shown when Select was pressed; empty until then.
    const std::string& SelectedPath() const { return selectedPath_; }

private:
    void DoDataExchange(bool save) override;
    bool OnCommand(WORD controlId, WORD notification) override;
    void OnInitDone() override;
    void OnFolderChange() override;
    void OnLBSelChangedNotify(UINT listId, UINT index, UINT code) override;
    void OnSelect();

    void SetTextsFromResources();
    void LayOut();
    // Select stays disabled while the edit box holds no folder (a virtual folder, say).
    void UpdateSelectButton();

    ChooserLanguage language_;
    HINSTANCE resourceModule_;
    std::string selectedPath_;
};

}  // namespace instdll
