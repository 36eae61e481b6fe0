#include "chooser/select_directory.h"

#include <windows.h>

#include <string>
#include <vector>

#include "chooser/chooser_paths.h"
#include "chooser/directory_chooser_dialog.h"
#include "text/system_code_page.h"

namespace instdll {
namespace {

// The open-file dialog makes every folder it shows the process's current directory. That would
// move the setup program's working directory and keep the proposed directory in use, so that
// it could not be removed; the guard puts the directory back when the dialog has ended.
class CurrentDirectoryKept {
public:
    CurrentDirectoryKept() {
        const DWORD size = GetCurrentDirectoryW(0, nullptr);
        if (size == 0) return;
        saved_.resize(size);
        const DWORD length = GetCurrentDirectoryW(size, saved_.data());
        if (length == 0 || length >= size) saved_.clear();
    }
    CurrentDirectoryKept(const CurrentDirectoryKept&) = delete;
    CurrentDirectoryKept& operator=(const CurrentDirectoryKept&) = delete;
    ~CurrentDirectoryKept() {
        if (!saved_.empty()) SetCurrentDirectoryW(saved_.data());
    }

private:
    // Zero-terminated; empty when the directory could not be read.
    std::vector<wchar_t> saved_;
};

INT_PTR RunKeepingCurrentDirectory(DirectoryChooserDialog& dialog) {
    CurrentDirectoryKept kept;
    return dialog.DoModal();
}

}  // namespace

int SelectDirectory(ChooserLanguage language, char* path, const ChooserModule& module,
                    ProposedDirectoryFate* fate) {
    if (path == nullptr) return 0;
    const std::string proposed = ProposedPath(path, SystemCodePage());
    DirectoryChooserDialog dialog(language, nullptr, module);
    dialog.Parameters().lpstrInitialDir = proposed.c_str();
    const bool created = CreateDirectoryA(proposed.c_str(), nullptr) != FALSE;
    const INT_PTR result = RunKeepingCurrentDirectory(dialog);

    const SelectionOutcome outcome =
        DecideSelection(result == 1, created, proposed, dialog.SelectedPath(), SystemCodePage());
    const bool removed = outcome.removeProposed && RemoveDirectoryA(proposed.c_str()) != FALSE;
    if (fate != nullptr) *fate = {created, removed};
    if (outcome.copyChoice) CopyToBuffer(dialog.SelectedPath(), path, kPathBufferSize);
    return outcome.result;
}

}  // namespace instdll
