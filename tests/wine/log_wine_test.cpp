// The call log through the loaded DLL: what each export writes, that instdll-inspect's restore
// from it puts the pruned keys back, that processes sharing one file write whole lines, and that a
// log that cannot be written changes nothing.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "log/export_log.h"
#include "registry/access_control.h"
#include "registry/win32_registry.h"
#include "tests/common/catalog_seed.h"
#include "tests/common/text_log.h"
#include "tests/common/title_list.h"
#include "tests/wine/child_process.h"
#include "tests/wine/code_page_text.h"
#include "tests/wine/live_chooser.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/message_box_watcher.h"
#include "tests/wine/peer_processes.h"
#include "tests/wine/registry_snapshot.h"

namespace instdll::testing {
namespace {

constexpr char kVariable[] = "INSTDLL_LOG";
constexpr char kSuite[] = "C:\\Suite\\";
constexpr char kScratchKey[] = "Software\\InstDLLLogWriter";
constexpr char kLogWriter[] = "instdll_log_writer.exe";

std::string TempPath(const std::string& name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name + "-" + std::to_string(GetCurrentProcessId());
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// "YYYY-MM-DD hh:mm:ss.mmm [pid] ": the prefix's length, or 0 when the line lacks one.
std::size_t PrefixLength(const std::string& line) {
    const char pattern[] = "dddd-dd-dd dd:dd:dd.ddd [";
    for (std::size_t i = 0; i + 1 < sizeof pattern; ++i) {
        if (i >= line.size()) return 0;
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (pattern[i] == 'd' ? !digit : line[i] != pattern[i]) return 0;
    }
    const std::size_t close = line.find("] ", sizeof pattern - 1);
    if (close == std::string::npos || close == sizeof pattern - 1) return 0;
    return close + 2;
}

// The log's lines; an unprefixed or unterminated line, or text that is not UTF-8, fails the test.
std::vector<std::string> Lines(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    EXPECT_TRUE(IsUtf8Log(text));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "an unterminated last line";
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        EXPECT_NE(PrefixLength(lines.back()), 0U) << lines.back();
        start = end + 2;
    }
    return lines;
}

// The log's lines as "Export: text" (continuations as "Export:+ text").
std::vector<std::string> Records(const std::string& path) {
    std::vector<std::string> records;
    for (const std::string& line : Lines(path)) records.push_back(line.substr(PrefixLength(line)));
    return records;
}

// The process that wrote each line, as its prefix names it.
std::vector<std::string> Writers(const std::string& path) {
    std::vector<std::string> writers;
    for (const std::string& line : Lines(path)) {
        const std::size_t open = line.find('[');
        writers.push_back(line.substr(open + 1, PrefixLength(line) - open - 3));
    }
    return writers;
}

bool Has(const std::vector<std::string>& records, const std::string& record) {
    for (const std::string& r : records) {
        if (r == record) return true;
    }
    return false;
}

class LogWineTest : public ::testing::Test {
protected:
    void SetUp() override {
        logPath = TempPath("instdll-log.txt");
        DeleteFileA(logPath.c_str());
        RemoveSeeded();
        SetEnvironmentVariableA(kVariable, logPath.c_str());
        Reload();
    }
    // A fresh library: empty catalogue, no keys held.
    void Reload() {
        library.reset();
        library = std::make_unique<LoadedInstDll>();
        std::string missing;
        ASSERT_TRUE(library->ResolveAll(&missing)) << missing;
    }
    const InstDllExports& exports() const { return library->exports(); }
    void TearDown() override {
        library.reset();
        SetEnvironmentVariableA(kVariable, nullptr);
        DeleteFileA(logPath.c_str());
        RemoveSeeded();
    }
    void RemoveSeeded() {
        for (const char* name : {"Zk:A", "Zk:B", "Zk:Broken"}) {
            DeleteTree(HKEY_LOCAL_MACHINE, UninstallEntryPath(name));
        }
        DeleteTree(HKEY_LOCAL_MACHINE, kProductKeyPath);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zk\\Zkv7");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zk");
        DeleteTree(HKEY_LOCAL_MACHINE, kScratchKey);
        DeleteTree(HKEY_CURRENT_USER, kFamilyUserKey);
    }
    // Two components logged in kSuite, one kept by its arguments; a counter of 5.
    void SeedSuite() {
        RegistryAccess& registry = SystemRegistry();
        ASSERT_TRUE(SeedLoggedComponent(registry, "Zk:A", kSuite, "/a"));
        ASSERT_TRUE(SeedLoggedComponent(registry, "Zk:B", kSuite, "/b"));
        ASSERT_TRUE(SeedText(registry, UninstallEntryPath("Zk:Broken"), kDisplayNameValue, "x"));
        ASSERT_TRUE(SeedCounter(registry, kRegDword, NumberBytes(5)));
    }
    // The catalogue's calls as a setup makes them; their results.
    std::string RunCatalogue() {
        char logFile[256];
        const int init = exports().InitV7Info();
        const int found = exports().FindISUInCatalog(kSuite, logFile);
        const int pruned = exports().RemoveAllInCatExcept(kSuite, "/a");
        return std::to_string(init) + std::to_string(found) + logFile + std::to_string(pruned);
    }

    std::string logPath;
    std::unique_ptr<LoadedInstDll> library;
};

TEST_F(LogWineTest, CatalogueCallsRecordWhatTheyFoundDeletedAndCounted) {
    SeedSuite();
    RunCatalogue();
    const std::vector<std::string> records = Records(logPath);
    const std::string entryB =
        R"(entry "Zk:B Net": log directory "C:\\Suite\\", log file "l.isu", arguments "/b")";
    const std::string bPath = "[HKEY_LOCAL_MACHINE\\" + UninstallEntryPath("Zk:B") + "]";
    for (
        const std::string& expected : std::vector<std::string>{
            std::string("InitV7Info: called"),
            std::string(
                R"(InitV7Info: passed over uninstall root subkey "Zk:Broken": lacks UninstallString)"),
            "InitV7Info: catalogue: 2 entries",
            "InitV7Info: " + entryB,
            std::string("InitV7Info: returned 1"),
            std::string(R"(FindISUInCatalog: called with directory "C:\Suite\")"),
            std::string(
                R"(FindISUInCatalog: matched entry "Zk:A Net": log directory "C:\\Suite\\", log file "l.isu", arguments "/a")"),
            std::string(R"(FindISUInCatalog: logFileName "l.isu")"),
            std::string("FindISUInCatalog: returned 1"),
            std::string(
                R"(RemoveAllInCatExcept: called with directory "C:\Suite\", argumentsToKeep "/a")"),
            std::string("RemoveAllInCatExcept: counter @=dword:00000005"),
            "RemoveAllInCatExcept: " + bPath,
            std::string(R"(RemoveAllInCatExcept: "DisplayName"="Zk:B 7.5 Net")"),
            std::string("RemoveAllInCatExcept: deleted, with 2 values"),
            std::string(
                R"(RemoveAllInCatExcept: wrote [HKEY_LOCAL_MACHINE\SOFTWARE\Zk\Zkv7\7.5\Components] @=dword:00000004 over @=dword:00000005)"),
            std::string("RemoveAllInCatExcept: returned 1"),
        }) {
        EXPECT_TRUE(Has(records, expected)) << expected;
    }
    EXPECT_FALSE(Has(records, "RemoveAllInCatExcept: counter not written"));
}

TEST_F(LogWineTest, OtherExportsRecordTheirCallsAndWhatTheyDid) {
    EXPECT_EQ(exports().RegDBAddToTitles("v", "Zk Title"), 0);
    EXPECT_EQ(exports().RegDBAddToTitles("v", "Zk Title"), 0);
    HKEY scratch = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kScratchKey, &scratch), ERROR_SUCCESS);
    RegSetValueExA(scratch, "gone", 0, REG_BINARY, reinterpret_cast<const BYTE*>("\x01\x02"), 2);
    RegCloseKey(scratch);
    EXPECT_EQ(exports().RegDBDeleteValue(kScratchKey, "gone"), 0);
    const int administrator = exports().CheckPrivileges();
    {
        MessageBoxWatcher watcher;
        EXPECT_EQ(exports().WriteUserParams("C:\\no such folder\\x.exe", "1", nullptr), 0);
    }
    const std::string proposed = TempPath("instdll-log-chooser");
    RemoveDirectoryA(proposed.c_str());
    char path[260] = {};
    std::strcpy(path, proposed.c_str());
    std::string problem;
    EXPECT_EQ(RunWithChooser([&] { return exports().SelectCatalogEng(path); },
                             [](LiveChooser& chooser) { chooser.Close(); }, problem),
              0);
    EXPECT_EQ(problem, "");

    const std::vector<std::string> records = Records(logPath);
    const std::string titles = "[HKEY_CURRENT_USER\\" + std::string(kTitlesPath) + "]";
    for (
        const std::string& expected : std::vector<std::string>{
            std::string(R"(RegDBAddToTitles: called with valueName "v", title "Zk Title")"),
            "RegDBAddToTitles: wrote " + titles + R"( "v"="Zk Title" over "v" absent)",
            std::string("RegDBAddToTitles: nothing stored: the value name exists already"),
            std::string(
                R"(RegDBDeleteValue: delete value [HKEY_LOCAL_MACHINE\Software\InstDLLLogWriter] "gone"=hex:01,02: deleted)"),
            std::string("RegDBDeleteValue: returned 0"),
            std::string("CheckPrivileges: called"),
            "CheckPrivileges: returned " + std::to_string(administrator),
            std::string(
                R"(WriteUserParams: called with targetFile "C:\no such folder\x.exe", first "1", second null)"),
            std::string("WriteUserParams: returned 0"),
            "SelectCatalogEng: called with path \"" + proposed + "\"",
            std::string("SelectCatalogEng: created the proposed folder"),
            std::string("SelectCatalogEng: removed the proposed folder"),
            std::string("SelectCatalogEng: returned 0"),
        }) {
        EXPECT_TRUE(Has(records, expected)) << expected;
    }
}

// The session's ANSI text as UTF-8, through the system's own converters.
std::string Utf8Of(const std::string& ansi) {
    const int wideSize =
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                        wideSize);
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// Characters of the code page over several of the converter's chunks and the log's lines, each
// run started one byte further on, so that chunk and line ends meet every byte of a character.
TEST_F(LogWineTest, LongTextOfTheCodePageKeepsEveryCharacterWhole) {
    std::string word;
    while (word.size() < 1200) word += CodePageWord();
    for (const std::string lead : {"", "a", "ab", "abc"}) {
        SCOPED_TRACE("after " + std::to_string(lead.size()) + " ASCII bytes");
        DeleteFileA(logPath.c_str());
        const std::string directory = lead + word;
        char logFile[260] = {};
        exports().FindISUInCatalog(directory.c_str(), logFile);
        std::string joined;
        for (const std::string& record : Records(logPath)) {
            const std::string continued = "FindISUInCatalog:+ ";
            if (record.rfind("FindISUInCatalog: called", 0) == 0) joined = record;
            if (record.rfind(continued, 0) == 0) joined += record.substr(continued.size());
        }
        EXPECT_EQ(joined, "FindISUInCatalog: called with directory \"" + Utf8Of(directory) + "\"");
    }
}

TEST_F(LogWineTest, EveryCallNamesItsViewAndCodePage) {
    exports().CheckPrivileges();
    const std::string view = sizeof(void*) == 8 ? "64-bit" : "32-bit";
    bool named = false;
    for (const std::string& record : Records(logPath)) {
        if (record.rfind("CheckPrivileges: process: ", 0) != 0) continue;
        named = true;
        EXPECT_NE(record.find(", code page " + std::to_string(GetACP())), std::string::npos)
            << record;
    }
    EXPECT_TRUE(named);
}

TEST_F(LogWineTest, StampRecordsEachStep) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string source(self);
    source = source.substr(0, source.find_last_of('\\') + 1) + "instdll_stamp_target.exe";
    const std::string target = TempPath("instdll-log-target") + ".exe";
    ASSERT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << source;
    {
        MessageBoxWatcher watcher;
        EXPECT_EQ(exports().WriteUserParams(target.c_str(), "one", "two"), 0);
    }
    DeleteFileA(target.c_str());
    const std::vector<std::string> records = Records(logPath);
    std::vector<std::string> steps;
    for (const std::string& record : records) {
        if (record.find(": done") != std::string::npos) steps.push_back(record);
    }
    EXPECT_EQ(
        steps,
        (std::vector<std::string>{
            "WriteUserParams: open the target: done",
            "WriteUserParams: copy its sections: done",
            "WriteUserParams: stamp the copy: done",
            "WriteUserParams: verify the stamped resources: done",
            "WriteUserParams: append the overlay, drop the signature and check the copy: done",
            "WriteUserParams: give the copy the target's metadata: done",
            "WriteUserParams: replace the target with the copy: done",
        }));
}

// The tool beside this program, asked to restore from the log into `regFile`; the log names
// the code page its calls ran under.
std::string RestoreCommand(const std::string& logPath, const std::string& regFile) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string tool(self);
    tool = tool.substr(0, tool.find_last_of('\\') + 1) + "instdll-inspect.exe";
    return "\"" + tool + "\" --restore \"" + logPath + "\" --out \"" + regFile + "\"";
}

// What the pruning touches: the family's machine keys (the counter among them) and the
// uninstall list.
std::string PrunedRegistry() {
    return SnapshotTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zk") +
           SnapshotTree(HKEY_LOCAL_MACHINE, kUninstallRootPath);
}

// Zk:B's uninstall entry holds a value of every kind the log writes as a .reg line.
void SeedEveryKindOfValue() {
    RegistryAccess& registry = SystemRegistry();
    const std::string bPath = UninstallEntryPath("Zk:B");
    Bytes big(700);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(SeedValue(registry, bPath, "Blob", kRegBinary, big));
    ASSERT_TRUE(SeedValue(registry, bPath, "Expand", 2, TextBytes("%TEMP%\\\"q\"")));
    ASSERT_TRUE(SeedValue(registry, bPath, "Lines", 7, Bytes{'a', 0, 'b', 0, 0}));
    ASSERT_TRUE(SeedValue(registry, bPath, "Break", kRegSz, TextBytes("a\r\nb")));
    ASSERT_TRUE(SeedValue(registry, bPath, "Count", kRegDword, NumberBytes(0x12345678)));
    ASSERT_TRUE(SeedValue(registry, bPath, "", kRegSz, TextBytes("C:\\a \"quoted\" one")));
}

// A prune with the log on, then the tool's restore file imported with regedit and the counter
// raised by the tool: the registry is as it was.
TEST_F(LogWineTest, RestoreFromTheLogPutsThePrunedRegistryBack) {
    SeedSuite();
    SeedEveryKindOfValue();
    const std::string before = PrunedRegistry();
    RunCatalogue();
    ASSERT_FALSE(KeyExists(SystemRegistry(), UninstallEntryPath("Zk:B")));

    const std::string regFile = TempPath("instdll-log-restore.reg");
    std::string said;
    EXPECT_EQ(RunToEnd(RestoreCommand(logPath, regFile) + " --live", &said), 0U) << said;
    EXPECT_NE(said.find("process " + std::to_string(GetCurrentProcessId())), std::string::npos)
        << said;
    EXPECT_NE(said.find("raised by 1, from 4 to 5"), std::string::npos) << said;
    EXPECT_EQ(ImportWithRegedit(regFile), 0U);
    DeleteFileA(regFile.c_str());
    EXPECT_EQ(PrunedRegistry(), before);
}

// A value too large for the log: the rest goes back, the tool says what did not, and the
// counter is left to the reader.
TEST_F(LogWineTest, RestoreSaysWhatTheLogCouldNotHold) {
    SeedSuite();
    ASSERT_TRUE(SeedValue(SystemRegistry(), UninstallEntryPath("Zk:B"), "Huge", kRegBinary,
                          Bytes(70000, 0x5A)));
    RunCatalogue();
    const std::string regFile = TempPath("instdll-log-restore.reg");
    std::string said;
    EXPECT_EQ(RunToEnd(RestoreCommand(logPath, regFile), &said), 1U) << said;
    EXPECT_NE(said.find("value \"Huge\" holds 70000 bytes"), std::string::npos) << said;
    EXPECT_NE(said.find("raise it by 1"), std::string::npos) << said;
    EXPECT_EQ(ImportWithRegedit(regFile), 0U);
    DeleteFileA(regFile.c_str());
    RegistryAccess& registry = SystemRegistry();
    EXPECT_TRUE(ReadRawValue(registry, UninstallEntryPath("Zk:B"), kDisplayNameValue));
    const RegistryKey restored = OpenMachineKey(registry, UninstallEntryPath("Zk:B"));
    EXPECT_NE(registry.RegQueryValueExA(restored.get(), "Huge", nullptr, nullptr, nullptr),
              kErrorSuccess);
}

// instdll_log_writer with `arguments`; a process whose handles the caller closes.
PROCESS_INFORMATION StartLogWriter(const std::string& arguments) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string writer(self);
    writer = writer.substr(0, writer.find_last_of('\\') + 1) + kLogWriter;
    std::string command = "\"" + writer + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    EXPECT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << writer;
    return process;
}

// Released together, so that their calls overlap: the case the writer lock is for.
TEST_F(LogWineTest, ProcessesSharingTheFileWriteOnlyWholeLines) {
    constexpr int kProcesses = 4;
    constexpr int kCalls = 25;
    Peers writers(kLogWriter);
    for (int i = 0; i < kProcesses; ++i) ASSERT_TRUE(writers.Start({std::to_string(kCalls)}));
    ASSERT_TRUE(writers.AllReady());
    writers.Release();
    EXPECT_EQ(writers.Finish(120000), std::vector<DWORD>(kProcesses, 0));
    int privileges = 0;
    int deletes = 0;
    int continued = 0;
    for (const std::string& record : Records(logPath)) {
        privileges += record.rfind("CheckPrivileges: returned ", 0) == 0;
        deletes += record == "RegDBDeleteValue: returned 0";
        continued += record.rfind("RegDBDeleteValue:+ vvvv", 0) == 0;
    }
    EXPECT_EQ(privileges, kProcesses * kCalls);
    EXPECT_EQ(deletes, kProcesses * kCalls);
    EXPECT_GE(continued, kProcesses * kCalls) << "each long record went on over lines";
    // One after another, the writers would hand over kProcesses - 1 times.
    const std::vector<std::string> lineWriters = Writers(logPath);
    int handovers = 0;
    for (std::size_t i = 1; i < lineWriters.size(); ++i)
        handovers += lineWriters[i] != lineWriters[i - 1];
    EXPECT_GE(handovers, kProcesses) << "the writers' lines never interleaved";
}

// A writer suspended while it holds the lock, as a setup stopped in a debugger would: a logged
// call waits for it about a second in all, drops its lines, and the next line counts them.
TEST_F(LogWineTest, AHeldLockDelaysACallAboutASecondAndTheDroppedLinesAreCounted) {
    const std::string readyName = "InstDLLLogLockHeld" + std::to_string(GetCurrentProcessId());
    const HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
    ASSERT_NE(ready, nullptr);
    PROCESS_INFORMATION holder = StartLogWriter("hold \"" + logPath + "\" " + readyName);
    ASSERT_NE(holder.hProcess, nullptr);
    const HANDLE waits[] = {ready, holder.hProcess};
    ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, 30000), WAIT_OBJECT_0)
        << "the holder took the lock";
    CloseHandle(ready);

    // A record of many lines: a wait per line would take as many seconds, which leaves a slow
    // machine room between the two.
    const std::string absent(4000, 'a');
    const DWORD start = GetTickCount();
    EXPECT_EQ(exports().RegDBDeleteValue(kScratchKey, absent.c_str()), 0);
    const DWORD took = GetTickCount() - start;
    TerminateProcess(holder.hProcess, 0);
    WaitForSingleObject(holder.hProcess, 30000);
    CloseHandle(holder.hThread);
    CloseHandle(holder.hProcess);
    EXPECT_GE(took, kLongestLockWait - 100);
    EXPECT_TRUE(Records(logPath).empty());

    EXPECT_EQ(exports().RegDBDeleteValue(kScratchKey, absent.c_str()), 0);
    const std::vector<std::string> records = Records(logPath);
    ASSERT_GE(records.size(), 8U);
    const auto dropped = static_cast<DWORD>(records.size() - 1);
    EXPECT_LT(took, (dropped - 1) * kLongestLockWait)
        << "one wait for the whole call, not one per line";
    // The same call again: as many lines as were dropped, after the one that counts them.
    EXPECT_EQ(records.front(), "RegDBDeleteValue: " + std::to_string(records.size() - 1) +
                                   " lines dropped before this one: the log stayed locked or "
                                   "failed to take them");
    EXPECT_EQ(records.back(), "RegDBDeleteValue: returned 0");
}

TEST_F(LogWineTest, LogThatCannotBeWrittenChangesNothing) {
    SeedSuite();
    SetEnvironmentVariableA(kVariable, nullptr);
    const std::string unlogged = RunCatalogue();
    const std::string unloggedRegistry = SnapshotTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zk");

    const std::string readOnly = TempPath("instdll-log-read-only.txt");
    { std::ofstream(readOnly) << "kept\n"; }
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string missingFolder = TempPath("instdll-log-missing") + "\\log.txt";
    for (const std::string& path : {missingFolder, readOnly}) {
        RemoveSeeded();
        SeedSuite();
        Reload();
        SetEnvironmentVariableA(kVariable, path.c_str());
        EXPECT_EQ(RunCatalogue(), unlogged) << path;
        EXPECT_EQ(SnapshotTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zk"), unloggedRegistry) << path;
    }
    EXPECT_FALSE(FileExists(missingFolder));
    std::ifstream kept(readOnly);
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "kept");
    kept.close();
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(readOnly.c_str());
}

// The whole file as it stands.
std::string FileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A log with a second name is not written, whichever name the variable gives: whoever holds the
// other name could read and edit what the restore later trusts. The call goes on unlogged.
TEST_F(LogWineTest, ALogWithASecondNameIsNotWritten) {
    SeedSuite();
    { std::ofstream(logPath, std::ios::binary) << "kept\n"; }
    const std::string second = TempPath("instdll-log-second-name.txt");
    DeleteFileA(second.c_str());
    ASSERT_TRUE(CreateHardLinkA(second.c_str(), logPath.c_str(), nullptr)) << GetLastError();
    for (const std::string& name : {logPath, second}) {
        SetEnvironmentVariableA(kVariable, name.c_str());
        EXPECT_EQ(exports().CheckPrivileges(), exports().CheckPrivileges());
        EXPECT_EQ(exports().InitV7Info(), 1);
        EXPECT_EQ(FileText(logPath), "kept\n") << name;
    }
    ASSERT_TRUE(DeleteFileA(second.c_str()));
    SetEnvironmentVariableA(kVariable, logPath.c_str());
    exports().CheckPrivileges();
    EXPECT_NE(FileText(logPath), "kept\n") << "a log of one name again was not written";
}

// A link at the log's path is opened as itself and refused, never followed to its target.
TEST_F(LogWineTest, ALogPathThatIsALinkIsNotFollowed) {
    const std::string target = TempPath("instdll-log-link-target.txt");
    const std::string link = TempPath("instdll-log-link.txt");
    { std::ofstream(target, std::ios::binary) << "kept\n"; }
    DeleteFileA(link.c_str());
    ASSERT_TRUE(CreateSymbolicLinkA(link.c_str(), target.c_str(), 0)) << GetLastError();
    const bool reported = (GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (reported) {
        SetEnvironmentVariableA(kVariable, link.c_str());
        exports().CheckPrivileges();
        EXPECT_EQ(FileText(target), "kept\n");
    }
    DeleteFileA(link.c_str());
    DeleteFileA(target.c_str());
    if (!reported)
        GTEST_SKIP()
            << "Wine makes the link as a Unix one that it neither reports nor opens as a link";
}

// A new log takes none of its folder's rights: administrators, SYSTEM and the user who made it
// may write it, everyone else only read it.
TEST_F(LogWineTest, ANewLogMayBeWrittenOnlyByAdministratorsSystemAndItsMaker) {
    exports().CheckPrivileges();
    ASSERT_TRUE(FileExists(logPath));
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoA(logPath.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(dacl, nullptr);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    if ((control & SE_DACL_PROTECTED) == 0) {
        LocalFree(descriptor);
        GTEST_SKIP() << "Wine keeps no descriptor on this file system: it shows one made from "
                        "the file's Unix mode";
    }
    SidBuffer administrators = SidBuffer::WellKnown(WinBuiltinAdministratorsSid);
    SidBuffer system = SidBuffer::WellKnown(WinLocalSystemSid);
    SidBuffer everyone = SidBuffer::WellKnown(WinWorldSid);
    ProcessSids process;
    const struct {
        PSID sid;
        DWORD rights;
    } expected[] = {{administrators.get(), FILE_ALL_ACCESS},
                    {system.get(), FILE_ALL_ACCESS},
                    {process.user.get(), FILE_ALL_ACCESS},
                    {everyone.get(), FILE_GENERIC_READ}};
    ASSERT_EQ(dacl->AceCount, std::size(expected));
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, &ace));
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&allowed->SidStart), expected[i].sid)) << i;
        EXPECT_EQ(allowed->Mask, expected[i].rights) << i;
    }
    LocalFree(descriptor);
}

// The files, with their sizes, in the folders where a log without a path could land: the current
// one, the temporary one and the library's. A log there from an earlier call grows.
std::set<std::string> FilesWhereALogCouldGo(HMODULE library) {
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof current, current);
    char temporary[MAX_PATH] = {};
    GetTempPathA(sizeof temporary, temporary);
    *std::strrchr(temporary, '\\') = '\0';
    char module[MAX_PATH] = {};
    GetModuleFileNameA(library, module, sizeof module);
    *std::strrchr(module, '\\') = '\0';
    std::set<std::string> files;
    for (const std::string folder : {current, temporary, module}) {
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            files.insert(folder + "\\" + found.cFileName + " " +
                         std::to_string(found.nFileSizeLow));
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return files;
}

TEST_F(LogWineTest, UnsetOrEmptyVariableWritesNoFile) {
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        SCOPED_TRACE(value == nullptr ? "unset" : "empty");
        SetEnvironmentVariableA(kVariable, value);
        const std::set<std::string> before = FilesWhereALogCouldGo(library->module());
        exports().CheckPrivileges();
        exports().InitV7Info();
        EXPECT_FALSE(FileExists(logPath));
        EXPECT_EQ(FilesWhereALogCouldGo(library->module()), before);
    }
}

}  // namespace
}  // namespace instdll::testing
