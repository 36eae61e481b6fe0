#include "tests/wine/live_chooser.h"

#include <commctrl.h>
#include <dlgs.h>

#include <atomic>

#include "tests/wine/dialog_deadline.h"

namespace instdll::testing {
namespace {

constexpr int kSelectButton = 4206;
constexpr int kShownFolder = 4203;
constexpr int kUpOneLevelButton = 0xA001;  // on the platform dialog's toolbar
constexpr DWORD kPollMs = 50;
constexpr DWORD kMessageTimeoutMs = 5000;

// Polls `done` until it holds or `timeoutMs` has passed.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    // Differences of the 32-bit tick count survive its wrap; the 64-bit one is newer than XP.
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(kPollMs);
    }
    return true;
}

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                        &result);
    return static_cast<LRESULT>(result);
}

struct Search {
    HWND found = nullptr;
    const char* className = nullptr;
    int id = 0;
};

BOOL CALLBACK FindChild(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    const bool classMatches =
        search->className == nullptr || lstrcmpiA(className, search->className) == 0;
    const bool idMatches = search->id == 0 || GetDlgCtrlID(window) == search->id;
    if (!classMatches || !idMatches) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindDescendant(HWND parent, const char* className, int id) {
    Search search{nullptr, className, id};
    EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ThreadDialogSearch {
    HWND dialog = nullptr;
    HWND row = nullptr;
};

BOOL CALLBACK FindChooser(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<ThreadDialogSearch*>(lParam);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    HWND select = FindDescendant(window, nullptr, kSelectButton);
    if (select == nullptr) return TRUE;
    search->dialog = window;
    search->row = GetParent(select);
    return FALSE;
}

}  // namespace

bool LiveChooser::Attach(DWORD threadId, const std::function<bool()>& stillRunning) {
    ThreadDialogSearch search;
    const bool ended = WaitFor(
        [&] {
            const bool running = stillRunning();
            EnumThreadWindows(threadId, FindChooser, reinterpret_cast<LPARAM>(&search));
            return search.dialog != nullptr || !running;
        },
        kDialogDeadlineMs);
    if (!ended) EndTheRunAsFailed("no chooser and no return");
    dialog_ = search.dialog;
    row_ = search.row;
    return dialog_ != nullptr;
}

std::wstring LiveChooser::Text(HWND window) {
    wchar_t text[512] = {};
    InternalGetWindowText(window, text, 512);
    return text;
}

RECT LiveChooser::Rect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

std::string LiveChooser::ShownFolder() const {
    char text[1024] = {};
    SendWithTimeout(RowControl(kShownFolder), WM_GETTEXT, sizeof text,
                    reinterpret_cast<LPARAM>(text));
    return text;
}

bool LiveChooser::WaitForShownFolder(const std::string& expected, DWORD timeoutMs) const {
    return WaitFor([&] { return ShownFolder() == expected; }, timeoutMs);
}

void LiveChooser::OpenFolder(const std::string& folder) const {
    SendWithTimeout(dialog_, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(folder.c_str()));
    PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(PlatformControl(IDOK)));
}

void LiveChooser::GoUp() const {
    PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(kUpOneLevelButton, BN_CLICKED), 0);
}

std::vector<std::string> LiveChooser::ListedNamesOnceShown(const std::string& expected,
                                                           DWORD timeoutMs) const {
    std::vector<std::string> names;
    WaitFor(
        [&] {
            names.clear();
            HWND list = FindDescendant(dialog_, WC_LISTVIEWA, 0);
            const LRESULT count = SendWithTimeout(list, LVM_GETITEMCOUNT, 0, 0);
            for (LRESULT i = 0; i < count; ++i) {
                char name[MAX_PATH] = {};
                LVITEMA item{};
                item.pszText = name;
                item.cchTextMax = sizeof name;
                SendWithTimeout(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i),
                                reinterpret_cast<LPARAM>(&item));
                names.emplace_back(name);
            }
            for (const auto& name : names)
                if (name == expected) return true;
            return false;
        },
        timeoutMs);
    return names;
}

void LiveChooser::Click(int rowControlId) const {
    PostMessageA(RowControl(rowControlId), BM_CLICK, 0, 0);
}

void LiveChooser::Close() const { PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool LiveChooser::WaitUntilGone(DWORD timeoutMs) const {
    return WaitFor([&] { return !IsWindow(dialog_); }, timeoutMs);
}

namespace {

// What the driving thread needs; it lives on the calling thread's stack until the join.
struct ChooserDriver {
    DWORD callingThread;
    const std::function<void(LiveChooser&)>& drive;
    std::string& problem;
    std::atomic<bool> running{true};

    void Run() {
        LiveChooser chooser;
        if (!chooser.Attach(callingThread, [&] { return running.load(); })) {
            problem = running ? "no chooser appeared" : "the call showed no chooser";
            return;
        }
        drive(chooser);
        if (chooser.WaitUntilGone(500)) return;
        chooser.Close();
        if (chooser.WaitUntilGone()) return;
        problem = "the chooser ignored its close box; ending its modal loop";
        PostThreadMessageA(callingThread, WM_QUIT, 0, 0);
        if (!WaitFor([&] { return !running.load(); }, kDialogDeadlineMs)) {
            EndTheRunAsFailed("the chooser's modal loop did not end");
        }
    }

    static DWORD WINAPI Start(void* self) {
        static_cast<ChooserDriver*>(self)->Run();
        return 0;
    }
};

}  // namespace

int RunWithChooser(const std::function<int()>& call, const std::function<void(LiveChooser&)>& drive,
                   std::string& problem) {
    problem.clear();
    ChooserDriver driver{GetCurrentThreadId(), drive, problem};
    const HANDLE thread = CreateThread(nullptr, 0, &ChooserDriver::Start, &driver, 0, nullptr);
    if (thread == nullptr) {
        problem = "CreateThread failed: " + std::to_string(GetLastError());
        return -1;
    }
    const int result = call();
    driver.running = false;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return result;
}

}  // namespace instdll::testing
