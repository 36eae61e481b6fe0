// The chooser driven as a user drives it: a second thread finds the dialog, reads what it
// shows, opens folders through the platform dialog and presses Select, Cancel or the close box.
#include <windows.h>

#include <dlgs.h>

#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/wine/code_page_text.h"
#include "tests/wine/live_chooser.h"
#include "tests/wine/loaded_library.h"

namespace instdll::testing {
namespace {

constexpr int kSelect = 4206;
constexpr int kCancel = IDCANCEL;
constexpr int kShownFolder = 4203;
constexpr int kShownFolderLabel = 4204;
constexpr int kPlaceholder = 1119;
constexpr std::size_t kPathSize = 260;
constexpr char kPoison = '\x7E';

using SelectExport = decltype(&::SelectCatalog);

bool Exists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& directory) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = directory + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(directory.c_str());
}

void CreateFileIn(const std::string& directory, const char* name) {
    HANDLE file = CreateFileA((directory + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(file);
}

std::string CurrentDirectory() {
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof directory, directory);
    return directory;
}

// The caller's 260-byte buffer, followed by guard bytes, poisoned past the proposed path so
// that any write past the terminating zero shows.
class PathBuffer {
public:
    explicit PathBuffer(const std::string& proposed) {
        std::memset(memory_, kPoison, sizeof memory_);
        std::memcpy(memory_, proposed.c_str(), proposed.size() + 1);
        std::memcpy(before_, memory_, sizeof memory_);
    }
    char* data() { return memory_; }
    std::string text() const { return memory_; }
    bool Unchanged() const { return std::memcmp(memory_, before_, sizeof memory_) == 0; }
    // Only the new text and its zero were written.
    bool WrittenWithin(const std::string& text) const {
        const std::size_t written = text.size() + 1;
        return this->text() == text &&
               std::memcmp(memory_ + written, before_ + written, sizeof memory_ - written) == 0;
    }

private:
    char memory_[kPathSize + 16];
    char before_[kPathSize + 16];
};

class ChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dll_.ResolveAll(&missing_)) << missing_;
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        // Named in the session's code page, so that every path the chooser handles holds it.
        base_ = std::string(temp) + "instdll-chooser-" + CodePageWord() + "-" +
                std::to_string(GetCurrentProcessId());
        RemoveTree(base_);
        ASSERT_TRUE(CreateDirectoryA(base_.c_str(), nullptr));
        // The setup program's own working directory, which the chooser must not move.
        workingDirectory_ = In("Working");
        CreateDirectoryA(workingDirectory_.c_str(), nullptr);
        SetCurrentDirectoryA(workingDirectory_.c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryA("C:\\");
        RemoveTree(base_);
    }

    std::string In(const std::string& name) const { return base_ + "\\" + name; }
    std::string Make(const std::string& name) const {
        CreateDirectoryA(In(name).c_str(), nullptr);
        return In(name);
    }
    const InstDllExports& exports() const { return dll_.exports(); }

    int Run(SelectExport select, PathBuffer& buffer,
            const std::function<void(LiveChooser&)>& drive) {
        std::string problem;
        const int result = RunWithChooser([&] { return select(buffer.data()); }, drive, problem);
        EXPECT_EQ(problem, "");
        EXPECT_EQ(CurrentDirectory(), workingDirectory_) << "the caller's directory moved";
        return result;
    }

private:
    LoadedInstDll dll_;
    std::string missing_;
    std::string base_;
    std::string workingDirectory_;
};

struct LanguageCase {
    const char* name;
    SelectExport InstDllExports::*select;
    std::wstring title, folderListLabel, select_, cancel, shownFolderLabel;
};

TEST_F(ChooserTest, EachExportSpeaksItsLanguageAndTakesOverTheFileNameRow) {
    // Under 932, which lacks the Ukrainian letters, these texts only survive if they never pass
    // the ANSI code page.
    const LanguageCase languages[] = {
        {"SelectCatalog", &InstDllExports::SelectCatalog, L"Выбор каталога", L"&Папка:", L"Выбрать",
         L"Отмена", L"Выбранный каталог:"},
        {"SelectCatalogEng", &InstDllExports::SelectCatalogEng, L"Select directory", L"&Directory:",
         L"Select", L"Cancel", L"Selected directory:"},
        {"SelectCatalogUkr", &InstDllExports::SelectCatalogUkr, L"Вибір директорії",
         L"&Директорія:", L"Вибрати", L"Відміна", L"Вибрана директорія:"},
    };
    for (const auto& language : languages) {
        SCOPED_TRACE(std::string(language.name) + ", ANSI code page " + std::to_string(GetACP()));
        const std::string proposed = In(std::string("Proposed") + language.name);
        PathBuffer buffer(proposed);
        const int result = Run(exports().*language.select, buffer, [&](LiveChooser& chooser) {
            EXPECT_TRUE(chooser.WaitForShownFolder(proposed)) << chooser.ShownFolder();
            EXPECT_EQ(LiveChooser::Text(chooser.dialog()), language.title);
            wchar_t asked[128] = {};
            GetWindowTextW(chooser.dialog(), asked, 128);
            EXPECT_EQ(std::wstring(asked), language.title) << "asked as the caption painter asks";
            EXPECT_EQ(LiveChooser::Text(chooser.PlatformControl(stc4)), language.folderListLabel);
            EXPECT_EQ(LiveChooser::Text(chooser.RowControl(kSelect)), language.select_);
            EXPECT_EQ(LiveChooser::Text(chooser.RowControl(kCancel)), language.cancel);
            EXPECT_EQ(LiveChooser::Text(chooser.RowControl(kShownFolderLabel)),
                      language.shownFolderLabel);

            // The 400A parameter size gets the plain file-name box, whose top anchors the row.
            ASSERT_NE(chooser.PlatformControl(edt1), nullptr);
            EXPECT_EQ(chooser.PlatformControl(cmb13), nullptr);
            const int anchor = LiveChooser::Rect(chooser.PlatformControl(edt1)).top;
            const RECT edit = LiveChooser::Rect(chooser.RowControl(kShownFolder));
            const RECT label = LiveChooser::Rect(chooser.RowControl(kShownFolderLabel));
            EXPECT_EQ(edit.top, anchor);
            EXPECT_EQ(label.top, anchor + (label.bottom - label.top) / 3);
            EXPECT_EQ(LiveChooser::Rect(chooser.RowControl(kPlaceholder)).bottom, anchor);
            EXPECT_EQ(LiveChooser::Rect(chooser.dialog()).bottom, edit.bottom + 10);
            for (int id : {stc3, edt1, stc2, cmb1, chx1, IDOK, IDCANCEL, pshHelp})
                EXPECT_FALSE(IsWindowVisible(chooser.PlatformControl(id))) << "control " << id;
            EXPECT_TRUE(IsWindowVisible(chooser.RowControl(kShownFolder)));
            chooser.Click(kCancel);
        });
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(buffer.Unchanged());
        EXPECT_FALSE(Exists(proposed)) << "created by the call and cancelled, yet left behind";
    }
}

TEST_F(ChooserTest, ListShowsFoldersOnlyAndTheRowFollowsTheFolder) {
    const std::string proposed = In("Proposed");
    const std::string other = Make("Other");
    Make("Other\\Sub");
    for (const char* file : {"readme.txt", "setup.exe", "no extension"}) CreateFileIn(other, file);
    PathBuffer buffer(proposed);
    const int result = Run(exports().SelectCatalogEng, buffer, [&](LiveChooser& chooser) {
        ASSERT_TRUE(chooser.WaitForShownFolder(proposed)) << chooser.ShownFolder();
        chooser.OpenFolder(other);
        ASSERT_TRUE(chooser.WaitForShownFolder(other)) << chooser.ShownFolder();
        EXPECT_EQ(chooser.ListedNamesOnceShown("Sub"), std::vector<std::string>{"Sub"});
        chooser.Click(kSelect);
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(buffer.WrittenWithin(other)) << buffer.text();
    EXPECT_FALSE(Exists(proposed)) << "another folder was chosen";
}

TEST_F(ChooserTest, SelectIsRefusedWhileTheFolderHasNoPath) {
    const std::string proposed = Make("Existing");
    PathBuffer buffer(proposed);
    const int result = Run(exports().SelectCatalog, buffer, [&](LiveChooser& chooser) {
        ASSERT_TRUE(chooser.WaitForShownFolder(proposed)) << chooser.ShownFolder();
        EXPECT_TRUE(IsWindowEnabled(chooser.RowControl(kSelect)));
        chooser.OpenFolder("C:\\");
        ASSERT_TRUE(chooser.WaitForShownFolder("C:\\")) << chooser.ShownFolder();
        chooser.GoUp();  // My Computer: a virtual folder
        ASSERT_TRUE(chooser.WaitForShownFolder("")) << chooser.ShownFolder();
        EXPECT_FALSE(IsWindowEnabled(chooser.RowControl(kSelect)));
        chooser.Click(kSelect);
        EXPECT_FALSE(chooser.WaitUntilGone(1000)) << "Select ended the dialog with no path";
        chooser.Click(kCancel);
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(buffer.Unchanged());
    EXPECT_TRUE(Exists(proposed));
}

TEST_F(ChooserTest, AFolderProposedWithItsTrailingBackslashStaysWhenChosenAtOnce) {
    const std::string parent = "C:\\zkt";
    const std::string folder = parent + "\\keep";
    RemoveTree(parent);
    ASSERT_TRUE(CreateDirectoryA(parent.c_str(), nullptr));
    // With its trailing backslash, as the catalogue's functions take a directory.
    PathBuffer buffer(folder + "\\");
    const int result = Run(exports().SelectCatalogEng, buffer, [&](LiveChooser& chooser) {
        EXPECT_TRUE(chooser.WaitForShownFolder(folder)) << chooser.ShownFolder();
        chooser.Click(kSelect);
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(buffer.WrittenWithin(folder)) << buffer.text();
    EXPECT_TRUE(Exists(folder)) << "the folder just chosen was removed";
    RemoveTree(parent);
}

enum class Before { Missing, Empty, HoldsAFile, ParentMissing };
enum class UserDoes { SelectProposed, SelectOther, Cancel, CloseBox };

struct ProposalCase {
    const char* what;
    std::string directory;  // on disk, under the test's base directory
    std::string proposed;   // as the caller writes it
    Before before;
    UserDoes user;
    int result;
    bool directoryRemains;
};

TEST_F(ChooserTest, ProposedDirectoryIsCreatedAndRemovedOnlyWhenItShouldBe) {
    const std::string word = CodePageWord();
    const ProposalCase cases[] = {
        {"created, then cancelled", "New", "New", Before::Missing, UserDoes::Cancel, 0, false},
        {"created, then closed", "New", "New", Before::Missing, UserDoes::CloseBox, 0, false},
        {"created and chosen", "New", "New", Before::Missing, UserDoes::SelectProposed, 1, true},
        {"created, another chosen", "New", "New", Before::Missing, UserDoes::SelectOther, 1, false},
        {"existed, cancelled", "Old", "Old", Before::Empty, UserDoes::Cancel, 0, true},
        {"existed, another chosen", "Old", "Old", Before::Empty, UserDoes::SelectOther, 1, false},
        {"existed with a file, another chosen", "Old", "Old", Before::HoldsAFile,
         UserDoes::SelectOther, 1, true},
        {"parent missing, cancelled", "Gone\\Child", "Gone\\Child", Before::ParentMissing,
         UserDoes::Cancel, 0, false},
        {"letter case differs only", "CaseDir", "CASEDIR", Before::Empty, UserDoes::SelectProposed,
         1, true},
        {"trailing backslash", "Trail", "Trail\\", Before::Missing, UserDoes::SelectProposed, 1,
         true},
        {"named in the code page, chosen", word, word, Before::Missing, UserDoes::SelectProposed, 1,
         true},
        {"named in the code page, backslash, chosen", word, word + "\\", Before::Missing,
         UserDoes::SelectProposed, 1, true},
        {"named in the code page, another chosen", word, word, Before::Missing,
         UserDoes::SelectOther, 1, false},
    };
    const std::string other = Make("Other");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string directory = In(c.directory);
        if (c.before == Before::Empty || c.before == Before::HoldsAFile) Make(c.directory);
        if (c.before == Before::HoldsAFile) CreateFileIn(directory, "keep.txt");
        const std::string proposed = In(c.proposed);
        PathBuffer buffer(proposed);
        std::string shownAtSelect;
        const int result = Run(exports().SelectCatalogEng, buffer, [&](LiveChooser& chooser) {
            if (c.before != Before::ParentMissing) {
                EXPECT_TRUE(chooser.WaitForShownFolder(directory)) << chooser.ShownFolder();
            }
            if (c.user == UserDoes::SelectOther) {
                chooser.OpenFolder(other);
                EXPECT_TRUE(chooser.WaitForShownFolder(other)) << chooser.ShownFolder();
            }
            shownAtSelect = chooser.ShownFolder();
            if (c.user == UserDoes::CloseBox)
                chooser.Close();
            else
                chooser.Click(c.user == UserDoes::Cancel ? kCancel : kSelect);
        });
        EXPECT_EQ(result, c.result);
        if (c.result == 1) {
            EXPECT_TRUE(buffer.WrittenWithin(shownAtSelect)) << buffer.text();
        } else {
            EXPECT_TRUE(buffer.Unchanged()) << buffer.text();
        }
        EXPECT_EQ(Exists(directory), c.directoryRemains);
        if (c.before == Before::ParentMissing) {
            EXPECT_FALSE(Exists(In("Gone")));
        }
        RemoveTree(directory);
    }
}

}  // namespace
}  // namespace instdll::testing
