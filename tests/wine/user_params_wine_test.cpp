// WriteUserParams through the loaded DLL on copies of a small executable: the message box is
// closed by a watcher as a user would, and the resources are read back as the loader sees them.
#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "gtest/gtest.h"
#include "tests/wine/loaded_library.h"
#include "utilities/pe_overlay.h"
#include "utilities/resource_file.h"
#include "utilities/user_params.h"

namespace instdll::testing {
namespace {

// ---- The message box, watched from a second thread

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
    MessageBoxWatcher()
        : owner_(GetCurrentThreadId()), worker_(CreateThread(nullptr, 0, &Run, this, 0, nullptr)) {}
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    ~MessageBoxWatcher() { Finish(); }

    const ShownBox& Finish() {
        if (worker_ != nullptr) {
            WaitForSingleObject(worker_, INFINITE);
            CloseHandle(worker_);
            worker_ = nullptr;
        }
        return box_;
    }

private:
    static constexpr DWORD kPatienceMs = 10000;

    static DWORD WINAPI Run(void* self) {
        static_cast<MessageBoxWatcher*>(self)->Watch();
        return 0;
    }

    static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
        char className[16] = {};
        GetClassNameA(window, className, sizeof className);
        if (std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }

    static BOOL CALLBACK RecordControl(HWND control, LPARAM box) {
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

    void Watch() {
        HWND box = nullptr;
        for (DWORD waited = 0; box == nullptr && waited < kPatienceMs; waited += 20) {
            Sleep(20);
            EnumThreadWindows(owner_, &FindDialog, reinterpret_cast<LPARAM>(&box));
        }
        if (box == nullptr) return;
        box_.shown = true;
        box_.owned = GetWindow(box, GW_OWNER) != nullptr;
        char caption[1024] = {};
        GetWindowTextA(box, caption, sizeof caption);
        box_.caption = caption;
        EnumChildWindows(box, &RecordControl, reinterpret_cast<LPARAM>(&box_));
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        for (DWORD waited = 0; IsWindow(box) && waited < kPatienceMs; waited += 20) Sleep(20);
        if (IsWindow(box)) PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    }

    DWORD owner_;
    HANDLE worker_;
    ShownBox box_;
};

// ---- The target file and its resources

using ResourceKey = std::tuple<std::string, std::string, WORD>;  // type, name, language
using Resources = std::map<ResourceKey, std::string>;

const ResourceKey kFirst{"#10", "#300", 0};
const ResourceKey kSecond{"#10", "#301", 0};

std::string IdText(const ResourceId& id) {
    return id.number != 0 ? "#" + std::to_string(id.number) : id.name;
}

// Every resource of the file by type, name and language.
Resources ResourcesOf(const std::string& path) {
    Resources resources;
    for (const Resource& r : ReadResources(path)) {
        resources[{IdText(r.type), IdText(r.name), r.language}] = r.bytes;
    }
    return resources;
}

FileBytes ReadBytes(const std::string& path) {
    FileBytes bytes;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::string& path, const FileBytes& bytes) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

class UserParamsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string missing;
        ASSERT_TRUE(dll.ResolveAll(&missing)) << missing;
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        dir = std::string(temp) + "instdll-stamp-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir.c_str(), nullptr);
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, sizeof self);
        std::string source(self);
        source = source.substr(0, source.find_last_of('\\') + 1) + "instdll_stamp_target.exe";
        target = dir + "\\target.exe";
        ASSERT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << source;
    }
    void TearDown() override {
        for (const std::string& file : {target, dir + "\\plain.txt"}) DeleteFileA(file.c_str());
        RemoveDirectoryA(dir.c_str());
    }

    // WriteUserParams with the box closed by a user; what the box showed.
    ShownBox Write(const char* path, const char* first, const char* second) {
        MessageBoxWatcher watcher;
        EXPECT_EQ(dll.exports().WriteUserParams(path, first, second), 0);
        return watcher.Finish();
    }

    LoadedInstDll dll;
    std::string dir;
    std::string target;
};

void ExpectOkBox(const ShownBox& box, const std::string& text, const std::string& caption) {
    EXPECT_TRUE(box.shown);
    EXPECT_FALSE(box.owned);
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.texts, std::vector<std::string>{text});
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_FALSE(box.icon);
}

Resources WithoutParams(Resources resources) {
    resources.erase(kFirst);
    resources.erase(kSecond);
    return resources;
}

TEST_F(UserParamsTest, ShowsTheBoxThenStampsBothParamsAndKeepsTheRest) {
    const Resources before = ResourcesOf(target);
    ASSERT_EQ(before.count({"#10", "#7", 0}), 1u) << "the target carries resources of its own";
    ExpectOkBox(Write(target.c_str(), "abc", "de"), target, "abc");
    const Resources after = ResourcesOf(target);
    EXPECT_EQ(after.at(kFirst), "abc");
    EXPECT_EQ(after.at(kSecond), "de");
    EXPECT_EQ(WithoutParams(after), WithoutParams(before));
}

TEST_F(UserParamsTest, EveryCallReplacesBothAndLeavesNothingStale) {
    struct Call {
        const char* first;
        const char* second;
    };
    const Call calls[] = {{"abc", "de"}, {"xyzw", ""}, {"", "q"}, {"\xE9\xFF", "a b\tc"}};
    const Resources before = ResourcesOf(target);
    for (const Call& call : calls) {
        SCOPED_TRACE(std::string(call.first) + " / " + call.second);
        Write(target.c_str(), call.first, call.second);
        Resources after = ResourcesOf(target);
        // An empty parameter is a resource of length 0 where the platform keeps one, else none.
        EXPECT_EQ(after[kFirst], call.first);
        EXPECT_EQ(after[kSecond], call.second);
        EXPECT_EQ(WithoutParams(after), WithoutParams(before));
    }
}

TEST_F(UserParamsTest, KeepsWhatFollowsTheSections) {
    FileBytes file = ReadBytes(target);
    ASSERT_TRUE(Overlay(file).empty());
    FileBytes overlay(70000);
    for (std::size_t i = 0; i < overlay.size(); ++i) overlay[i] = static_cast<std::uint8_t>(i * 7);
    file.insert(file.end(), overlay.begin(), overlay.end());
    WriteBytes(target, file);

    Write(target.c_str(), "abc", "de");
    EXPECT_TRUE(Overlay(ReadBytes(target)) == overlay);
    EXPECT_EQ(ResourcesOf(target).at(kFirst), "abc");
}

TEST_F(UserParamsTest, PutsBackAnOverlayTheCommitDropped) {
    FileBytes file = ReadBytes(target);
    const FileBytes overlay{'s', 'f', 'x', 0, 1, 2, 3};
    file.insert(file.end(), overlay.begin(), overlay.end());
    WriteBytes(target, file);

    std::vector<std::tuple<std::string, std::string, UINT>> boxes;
    bool dropped = false;
    UserParamsCalls calls;
    calls.showMessage = [&](HWND, const char* text, const char* caption, UINT style) {
        boxes.emplace_back(text, caption, style);
        return IDOK;
    };
    // As Windows' updater does: the rewritten file ends with its last section.
    calls.endUpdate = [&](HANDLE update, BOOL discard) {
        const BOOL committed = EndUpdateResourceA(update, discard);
        FileBytes rewritten = ReadBytes(target);
        rewritten.resize(SectionDataEnd(rewritten).value_or(rewritten.size()));
        WriteBytes(target, rewritten);
        dropped = Overlay(ReadBytes(target)).empty();
        return committed;
    };
    StampUserParams(calls, target.c_str(), "abc", "de");
    EXPECT_TRUE(dropped);
    EXPECT_EQ(boxes,
              (std::vector<std::tuple<std::string, std::string, UINT>>{{target, "abc", MB_OK}}));
    EXPECT_EQ(Overlay(ReadBytes(target)), overlay);
    EXPECT_EQ(ResourcesOf(target).at(kSecond), "de");
}

TEST_F(UserParamsTest, ShowsTheBoxButWritesNothingWhereNoResourcesCanBeUpdated) {
    const std::string plain = dir + "\\plain.txt";
    WriteBytes(plain, FileBytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'e', 'x', 'e'});
    const std::string missing = dir + "\\missing.exe";
    for (const std::string& path : {plain, missing, dir}) {
        SCOPED_TRACE(path);
        const FileBytes before = ReadBytes(path);
        ExpectOkBox(Write(path.c_str(), "abc", "de"), path, "abc");
        EXPECT_EQ(ReadBytes(path), before);
    }
    EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UserParamsTest, NullArgumentsCountAsEmpty) {
    ExpectOkBox(Write(nullptr, nullptr, nullptr), "", "");
}

}  // namespace
}  // namespace instdll::testing
