#include "inspect/tool.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "catalog/component_counter.h"
#include "inspect/backup_file.h"
#include "inspect/registry_import.h"
#include "inspect/shown_text.h"
#include "inspect/unicode_text.h"
#include "regfile/reg_file_reader.h"
#include "registry/registry_paths.h"
#include "tests/common/registry_listing.h"
#include "text/host_code_page.h"

namespace instdll::inspect {
namespace {

constexpr RegistryView kNative32 = RegistryView::For(32, false);
constexpr RegistryView kWow64 = RegistryView::For(32, true);

constexpr char kUninstall[] =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kProduct[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\";

std::string UninstallEntry(const std::string& subkey, const std::string& displayName,
                           const std::string& logDir, const std::string& arguments) {
    return kUninstall + subkey + "]\n\"DisplayName\"=\"" + displayName +
           "\"\n\"UninstallString\"=\"zkuninst.exe -f\\\"" + logDir + "\\\\" + subkey.substr(3) +
           ".isu\\\" " + arguments + " -c\\\"" + logDir + "\\\\uninst.dll\\\"\"\n";
}

std::string ProductEntry(const std::string& subkey, const std::string& extra = "") {
    return kProduct + subkey + "]\n\"ZkFolder\"=\"F\"\n\"ZkPath\"=\"C:\\\\A\\\\f.exe\"\n" + extra;
}

// Components logged in C:\A: Core (kept by its arguments), Viewer (a product subkey with a
// subkey of its own, which cannot be deleted), Text (values of every text type), Old (uninstall
// entry only); the counter as two bytes of binary.
std::string RichExport() {
    return "Windows Registry Editor Version 5.00\n" + std::string(kProduct) +
           "Components]\n@=hex:03,00\n" + UninstallEntry("Zk:Core", "Zk:Core", "C:\\\\A", "CORE") +
           ProductEntry("Zk:Core") + UninstallEntry("Zk:Viewer", "Zk:Viewer", "C:\\\\A", "V") +
           ProductEntry("Zk:Viewer") + kProduct + "Zk:Viewer\\Plugins]\n" +
           UninstallEntry("Zk:Text", "Zk:7.5 Text", "C:\\\\A", "Т") +
           ProductEntry("Zk:Text",
                        "\"e\"=hex(2):25,00,41,00,00,00\n\"m\"=hex(7):61,00,00,00,00,00\n"
                        "\"Имя\"=\"Значение \\\"1\\\"\"\n\"b\"=hex:\n") +
           UninstallEntry("Zk:Old", "Zk:Old", "C:\\\\A", "OLD");
}

void Import(MemoryRegistry& registry, const CodePageConverter& converter,
            const AnsiCodePage& codePage, const std::string& bytes) {
    RegistryImport import(registry, converter, codePage);
    std::istringstream in(bytes);
    ASSERT_FALSE(ReadRegFile(in, converter, import));
}

// A backup's UTF-16LE after its byte order mark, as UTF-8.
std::string BackupText(const std::string& bytes) {
    std::u16string units;
    for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
        units += static_cast<char16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                       static_cast<std::uint8_t>(bytes[at + 1]) << 8);
    }
    return ShownUtf8(units);
}

// The counter's value lines left out: a raise writes four bytes where the export held fewer.
std::vector<std::string> WithoutCounterValue(const std::vector<std::string>& listing) {
    std::vector<std::string> lines;
    bool counter = false;
    for (const std::string& line : listing) {
        if (line.front() == '[') counter = line.find("\\Components]") != std::string::npos;
        if (!counter || line.front() == '[') lines.push_back(line);
    }
    return lines;
}

std::int32_t CounterIn(MemoryRegistry& registry, const std::string& keyPath) {
    const std::optional<ValueSnapshot> counter =
        ValueOf(registry, kHkeyLocalMachine, keyPath, kComponentCounterValue);
    return counter ? Number(counter->data) : -1;
}

// Imports the backup as an administrator would, then raises the counter by what the tool says:
// `pruned` is then `original` again. The backup itself never sets the counter.
void ExpectBackupRestores(MemoryRegistry& original, MemoryRegistry& pruned,
                          const PruneAnswer& answer, const CodePageConverter& converter,
                          const AnsiCodePage& codePage) {
    const std::string backup = std::get<std::string>(BackupRegFile(answer, converter));
    EXPECT_EQ(BackupText(backup).find("Components]"), std::string::npos);
    Import(pruned, converter, codePage, backup);
    if (const std::optional<CounterRaise> raise = BackupCounterRaise(answer, converter)) {
        const std::string machinePath =
            ShownUtf8(raise->keyPath).substr(sizeof "HKEY_LOCAL_MACHINE");
        ASSERT_TRUE(RaiseComponentCounter(pruned, machinePath.c_str(),
                                          static_cast<std::uint32_t>(raise->by)));
    }
    EXPECT_EQ(WithoutCounterValue(testing::ListRegistry(pruned)),
              WithoutCounterValue(testing::ListRegistry(original)));
    for (const char* path :
         {kComponentCounterPath, "SOFTWARE\\WOW6432Node\\Zk\\Zkv7\\7.5\\Components"}) {
        EXPECT_EQ(CounterIn(pruned, path), CounterIn(original, path)) << path;
    }
}

TEST(Backup, RestoresWhatPruningDeletedKeyByKey) {
    const auto converter = MakeCodePageConverter(1251);
    const HostCodePage codePage(1251);
    const struct {
        const char* directory;
        const char* keep;
        std::size_t pruned;
    } cases[] = {{"C:\\A\\", "CORE", 3}, {"c:\\a\\", "v", 3}, {"C:\\B\\", "", 0}};
    for (const auto& row : cases) {
        MemoryRegistry original;
        MemoryRegistry pruned;
        Import(original, *converter, codePage, RichExport());
        Import(pruned, *converter, codePage, RichExport());
        const PruneAnswer answer = AskPrune(pruned, kNative32, codePage, row.directory, row.keep);
        SCOPED_TRACE(row.directory);
        EXPECT_EQ(answer.prunedKeys.size(), row.pruned);
        if (row.pruned > 0) {
            EXPECT_NE(testing::ListRegistry(pruned), testing::ListRegistry(original));
        }
        ExpectBackupRestores(original, pruned, answer, *converter, codePage);
    }
}

// The answer is the library's: the deletes answer as the machine's registry would, and a
// component none of whose keys could be deleted is neither pruned nor counted.
TEST(Prune, CountsOnlyTheComponentsWhoseKeysItDeleted) {
    const auto converter = MakeCodePageConverter(1251);
    const HostCodePage codePage(1251);
    MemoryRegistry registry;
    Import(registry, *converter, codePage,
           "Windows Registry Editor Version 5.00\n" + std::string(kProduct) +
               "Components]\n@=dword:00000005\n" +
               UninstallEntry("Zk:Stuck", "Zk:Stuck", "C:\\\\A", "S") + kUninstall +
               "Zk:Stuck\\Parts]\n" + ProductEntry("Zk:Stuck") + kProduct + "Zk:Stuck\\Plugins]\n" +
               UninstallEntry("Zk:Old", "Zk:Old", "C:\\\\A", "O"));
    const PruneAnswer answer = AskPrune(registry, kNative32, codePage, "C:\\A\\", "");
    EXPECT_EQ(answer.prunedKeys, std::vector<std::string>{"Zk:Old"});
    std::vector<long> results;
    for (const KeyDeletion& deletion : answer.deletions) results.push_back(deletion.result);
    EXPECT_EQ(results, (std::vector<long>{kErrorSuccess, kErrorAccessDenied, kErrorAccessDenied}));
    ASSERT_TRUE(answer.counterAfter);
    EXPECT_EQ(answer.counterAfter->data, (std::vector<std::uint8_t>{4, 0, 0, 0}));
}

TEST(Catalogue, ReportsEverySkippedSubkeyWithItsReason) {
    const auto converter = MakeCodePageConverter(1251);
    const HostCodePage codePage(1251);
    MemoryRegistry registry;
    Import(registry, *converter, codePage,
           "REGEDIT4\n" + std::string(kUninstall) + "Other]\n" + kUninstall +
               "Zk:NoName]\n\"UninstallString\"=\"x\"\n" + kUninstall +
               "Zk:Long]\n\"DisplayName\"=\"" + std::string(256, 'x') +
               "\"\n\"UninstallString\"=\"x\"\n" +
               UninstallEntry("Zk:One", "Zk:Same", "C:\\\\A", "1") +
               UninstallEntry("Zk:Two", "Zk:Same", "C:\\\\A", "2") + kProduct + "Zk:NoPath]\n" +
               "\"ZkFolder\"=\"F\"\n" + kProduct + "Zk:Binary]\n\"ZkFolder\"=hex:01,02\n" +
               "\"ZkPath\"=hex(7):41,00,42,00\n");
    const CatalogueAnswer answer = AskCatalogue(registry, kNative32, codePage);
    std::vector<std::string> skipped;
    for (const SkippedSubkey& skip : answer.skipped) {
        skipped.push_back(std::to_string(static_cast<int>(skip.scanned)) + " " + skip.name + " " +
                          std::to_string(static_cast<int>(skip.reason)) + " " + skip.value);
    }
    EXPECT_EQ(skipped, (std::vector<std::string>{"0 Other 0 ", "0 Zk:Long 3 DisplayName",
                                                 "0 Zk:NoName 2 DisplayName", "0 Zk:Two 5 ",
                                                 "1 Zk:NoPath 2 ZkPath"}));
    ASSERT_EQ(answer.entries.size(), 2u);
    EXPECT_EQ(answer.entries[0].first, "Zk:Binary");
    EXPECT_EQ(answer.entries[0].second.PathFile, "A");
}

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

ToolRun RunTool(std::vector<std::string> arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunInspect(arguments, out, err);
    return {status, out.str(), err.str()};
}

class ScratchFile {
public:
    explicit ScratchFile(const std::string& bytes) {
        char name[] = "/tmp/instdll-inspect-XXXXXX";
        const int fd = mkstemp(name);
        path_ = name;
        std::ofstream(path_, std::ios::binary) << bytes;
        close(fd);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A mistake in the invocation is followed by the usage; a file that fails is named with the
// system's reason, and nothing else.
TEST(Tool, RefusesBadInvocationsWithStatus2AndNoAnswer) {
    const ScratchFile good("REGEDIT4\n");
    const ScratchFile bad("REGEDIT4\n[HKLM\\SOFTWARE\n");
    const ScratchFile pruned("REGEDIT4\n" +
                             UninstallEntry("Zk:Core", "Zk:Core", "C:\\\\A", "CORE"));
    const struct {
        std::vector<std::string> arguments;
        std::string message;
        bool usage;
    } cases[] = {
        {{}, "no export file given", true},
        {{good.path(), "--bogus"}, "unknown option --bogus", true},
        {{good.path(), "--prune", "C:\\"}, "--prune needs 2 arguments", true},
        {{good.path(), "--find", "a", "--title", "a", "b"}, "one question at a time", true},
        {{good.path(), "--backup", "x.reg"}, "--backup goes with --prune", true},
        {{good.path(), "--code-page", "437"},
         "unsupported code page 437 (874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, "
         "1256, 1257, 1258, 65001)\n",
         true},
        {{good.path(), "--view", "16"}, "--view is 32 or 64, not 16", true},
        {{good.path(), "--live"}, "--live reads a Windows machine's own registry", true},
        {{good.path(), "--code-page", "1252", "--find", "Каталог"},
         "an argument cannot be written in code page 1252",
         true},
        {{"/nonexistent/x.reg"},
         "cannot open /nonexistent/x.reg: No such file or directory",
         false},
        {{good.path(), "/tmp"}, "cannot open /tmp: Is a directory", false},
        {{pruned.path(), "--prune", "C:\\A\\", "", "--backup", "/nonexistent/b.reg"},
         "cannot write /nonexistent/b.reg: No such file or directory",
         false},
        {{"--restore", good.path()}, "--restore needs --out FILE.reg", true},
        {{"--restore", good.path(), "--out", "r.reg", "--json"},
         "--restore answers in text only",
         true},
        {{"--restore", good.path(), "--out", "r.reg", good.path()},
         "--restore reads a log, not export files",
         true},
        {{good.path(), "--pid", "5"}, "--out, --pid and --from go with --restore", true},
        {{"--restore", good.path(), "--out", "r.reg", "--pid", "x"}, "not a process id: x", true},
        {{"--restore", good.path(), "--out", "r.reg", "--from", "yesterday"},
         "not a time as the log writes it: yesterday",
         true},
        {{"--restore", "/tmp", "--out", "r.reg"}, "cannot open /tmp: Is a directory", false},
    };
    for (const auto& row : cases) {
        const ToolRun run = RunTool(row.arguments);
        SCOPED_TRACE(row.message);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        const std::string line = "instdll-inspect: " + row.message;
        EXPECT_EQ(run.err.substr(0, line.size()), line);
        EXPECT_EQ(run.err.find("usage:") != std::string::npos, row.usage) << run.err;
    }
    const ToolRun malformed = RunTool({good.path(), bad.path()});
    EXPECT_EQ(malformed.status, 2);
    EXPECT_EQ(malformed.err, bad.path() + ":2: expected \"]\" at the end of the key line\n");
}

// The restore writes its file and says what it put back, from which call, and by how much to
// raise the counter; a file that is no log is refused at its line, and nothing is written.
TEST(Tool, RestoresFromALogOrRefusesItsLine) {
    const std::string prefix = "2026-12-09 04:21:51.286 [352] RemoveAllInCatExcept: ";
    std::string log;
    for (const char* text :
         {"called", "process: 64-bit", "counter @=dword:00000005",
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\Zk:Viewer]", "\"ZkFolder\"=\"Viewer\"",
          "deleted, with 1 value",
          "wrote [HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\Components] @=dword:00000004 "
          "over @=dword:00000005",
          "returned 1"}) {
        log += prefix + text + "\r\n";
    }
    const ScratchFile logFile(log);
    const ScratchFile notALog("REGEDIT4\n");
    const std::string out = logFile.path() + ".reg";
    const ToolRun run = RunTool({"--restore", logFile.path(), "--out", out});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Put back what these RemoveAllInCatExcept calls deleted:\n"
              "  process 352 at 2026-12-09 04:21:51.286 (64-bit, line 1): 1 key, counter lowered "
              "by 1\n"
              "Written to " +
                  out +
                  " (import it with reg import or regedit /s):\n"
                  "  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\Zk:Viewer] 1 value\n"
                  "Component counter [HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\Components]: "
                  "the file leaves it alone: raise it by 1 after importing the file\n");
    std::ifstream written(out, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(written)),
                            std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::remove(out.c_str());

    const ToolRun refused = RunTool({"--restore", notALog.path(), "--out", out});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err.rfind(notALog.path() + ":1: expected a call log line", 0), 0U)
        << refused.err;
    EXPECT_FALSE(std::ifstream(out).good());

    // Lines the process could not log may have named more keys: written, but not called whole.
    const ScratchFile lossy(prefix +
                            "2 lines dropped before this one: the log stayed locked or failed "
                            "to take them\r\n" +
                            log);
    const ToolRun partial = RunTool({"--restore", lossy.path(), "--out", out});
    EXPECT_EQ(partial.status, 1);
    EXPECT_NE(partial.out.find("line 1: process 352 lost 2 log lines before this one"),
              std::string::npos)
        << partial.out;
    EXPECT_NE(partial.out.find("The file holds only what the log shows for certain"),
              std::string::npos)
        << partial.out;
    EXPECT_TRUE(std::ifstream(out).good());
    std::remove(out.c_str());
}

// The backup leaves the counter alone, like the restore: it says by how much to raise it, in the
// table or, beside the JSON, on the error stream.
TEST(Tool, BackupSaysHowFarToRaiseTheCounter) {
    const ScratchFile rich(RichExport());
    const std::string out = rich.path() + ".reg";
    const std::string line =
        "Component counter [HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\Components]: the file "
        "leaves it alone: raise it by 3 after importing the file\n";
    const ToolRun table = RunTool({rich.path(), "--prune", "C:\\A\\", "CORE", "--backup", out});
    EXPECT_EQ(table.status, 0) << table.err;
    EXPECT_GE(table.out.size(), line.size());
    EXPECT_EQ(table.out.substr(table.out.size() - std::min(table.out.size(), line.size())), line);
    const ToolRun json =
        RunTool({rich.path(), "--json", "--prune", "C:\\A\\", "CORE", "--backup", out});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.err, line);
    EXPECT_TRUE(nlohmann::json::accept(json.out)) << json.out;
    std::remove(out.c_str());
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A log of one pruning call by process 352 that deleted `key` with `values`.
std::string PruneLog(const std::string& key, const std::vector<std::string>& values) {
    std::vector<std::string> texts = {"called", "process: 64-bit", key};
    texts.insert(texts.end(), values.begin(), values.end());
    texts.push_back("deleted, with " + std::to_string(values.size()) + " values");
    texts.push_back("returned 1");
    std::string log;
    for (const std::string& text : texts) {
        log += "2026-12-09 04:21:51.286 [352] RemoveAllInCatExcept: " + text + "\r\n";
    }
    return log;
}

// A name no .reg line carries as it is refuses the file, named with its control characters
// shown escaped; nothing is written, and what the target held stays.
TEST(Tool, RefusesToWriteANameAnImporterWouldMisread) {
    const std::string key = std::string(kProduct) + "Zk:B";
    const struct {
        const char* what;
        std::string log;
        std::string named;
    } cases[] = {
        {"carriage return in a key", PruneLog(key + "\r[Run]", {"@=\"x\""}),
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\Zk:B\\x0D[Run]"},
        {"escape in a value name", PruneLog(key + "]", {"\"a\x1B[2Jb\"=\"x\""}),
         "value \"a\\x1B[2Jb\" of [HKEY_LOCAL_MACHINE\\SOFTWARE\\Zk\\Zkv7\\7.5\\Zk:B]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScratchFile log(c.log);
        const ScratchFile out("what was there");
        const ToolRun run = RunTool({"--restore", log.path(), "--out", out.path()});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.named + " cannot be written"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\x1B'), std::string::npos);
        EXPECT_EQ(FileBytes(out.path()), "what was there");
    }
}

// The file goes beside its target under another name and replaces it only when whole: never
// over an input, whatever name reaches it, and a write that fails leaves the old target.
TEST(Tool, WritesItsFileWholeAndNeverOverAnInput) {
    const std::string log = PruneLog(std::string(kProduct) + "Zk:B]", {"@=\"x\""});
    const ScratchFile logFile(log);
    const std::string link = logFile.path() + ".link";
    ASSERT_EQ(symlink(logFile.path().c_str(), link.c_str()), 0);
    for (const std::string& out : {logFile.path(), link}) {
        const ToolRun run = RunTool({"--restore", logFile.path(), "--out", out});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err,
                  "instdll-inspect: cannot write " + out + ": it is a file this run reads\n");
    }
    std::remove(link.c_str());
    EXPECT_EQ(FileBytes(logFile.path()), log);

    const ScratchFile exportFile("REGEDIT4\n" +
                                 UninstallEntry("Zk:Core", "Zk:Core", "C:\\\\A", "CORE"));
    const std::string exported = FileBytes(exportFile.path());
    const ToolRun backup =
        RunTool({exportFile.path(), "--prune", "C:\\A\\", "", "--backup", exportFile.path()});
    EXPECT_EQ(backup.status, 2);
    EXPECT_EQ(FileBytes(exportFile.path()), exported);

    // A directory in the way: the complete file cannot take its place.
    const std::string directory = logFile.path() + ".d";
    ASSERT_EQ(mkdir(directory.c_str(), 0700), 0);
    const ScratchFile inside("kept");
    ASSERT_EQ(rename(inside.path().c_str(), (directory + "/kept").c_str()), 0);
    const ToolRun blocked = RunTool({"--restore", logFile.path(), "--out", directory});
    EXPECT_EQ(blocked.status, 2);
    EXPECT_EQ(blocked.err.rfind("instdll-inspect: cannot write " + directory + ": ", 0), 0u)
        << blocked.err;
    EXPECT_EQ(FileBytes(directory + "/kept"), "kept");
    EXPECT_FALSE(std::ifstream(directory + ".partial").good());
    std::remove((directory + "/kept").c_str());
    rmdir(directory.c_str());

    const ScratchFile old("old contents");
    const ToolRun replaced = RunTool({"--restore", logFile.path(), "--out", old.path()});
    EXPECT_LT(replaced.status, 2) << replaced.err;  // written, whether or not the log is whole
    EXPECT_EQ(FileBytes(old.path()).substr(0, 2), "\xFF\xFE");
    EXPECT_FALSE(std::ifstream(old.path() + ".partial").good());
}

// Names from an export reach the terminal with their control characters escaped.
TEST(Tool, ShowsControlCharactersInNamesEscaped) {
    const ScratchFile exported("REGEDIT4\n" + std::string(kUninstall) +
                               "Zk:\x1B]0;title\x07]\n\"DisplayName\"=\"a\x1B[2J\"\n");
    const ToolRun run = RunTool({exported.path(), "--code-page", "1252"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Zk:\\x1B]0;title\\x07"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find_first_of("\x1B\x07"), std::string::npos) << run.out;
}

// The same component in each code page: the answers name it in that code page, and a name it
// cannot hold is reported with its key and value, never replaced.
TEST(Tool, AnswersInTheCustomersCodePage) {
    const std::string component =
        "Windows Registry Editor Version 5.00\n" + std::string(kProduct) +
        "Zk:Core]\n\"ZkFolder\"=\"Ядро\"\n\"ZkPath\"=\"C:\\\\表\\\\f.exe\"\n";
    const ScratchFile file(component);
    const struct {
        const char* codePage;
        std::string expected;
    } cases[] = {
        {"932",
         "\"codePage\":932,\"view\":{\"dll\":32,\"wow6432Node\":false},\"unrepresentable\":[],"
         "\"initV7Info\":1,\"catalogue\":[{\"key\":\"Zk:"
         "Core\","
         "\"ComponentKey\":\"Zk:Core\",\"Folder\":\"Ядро\",\"PathDir\":\"C:\\\\表\\\\\","
         "\"PathFile\":\"f.exe\""},
        {"1251",
         "\"unrepresentable\":[{\"key\":\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Zk\\\\Zkv7\\\\7.5\\\\"
         "Zk:Core\",\"value\":\"ZkPath\"}]"},
        {"1252",
         "\"unrepresentable\":[{\"key\":\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Zk\\\\Zkv7\\\\7.5\\\\"
         "Zk:Core\",\"value\":\"ZkFolder\"},{\"key\":\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Zk\\\\"
         "Zkv7\\\\7.5\\\\Zk:Core\",\"value\":\"ZkPath\"}]"},
    };
    for (const auto& row : cases) {
        const ToolRun run = RunTool({"--json", "--code-page", row.codePage, file.path()});
        SCOPED_TRACE(row.codePage);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(row.expected), std::string::npos) << run.out;
    }
}

// Exports written in the customer's code page, REGEDIT4 style: the directory is found whatever
// its letter case, and a name is cut only between its characters: in 936 the second byte of
// each of these two characters is 0x5C, and under UTF-8 the last one takes four bytes.
TEST(Tool, ReadsExportsWrittenInTheCustomersCodePage) {
    const struct {
        unsigned codePage;
        std::string name;
        std::string asked;
    } cases[] = {
        {1250, "Łódź", "c:\\łÓDŹ\\"},
        {936, "乗俓", "c:\\乗俓\\"},
        {65001, "Жё𠮷", "c:\\жЁ𠮷\\"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.codePage);
        const auto converter = MakeCodePageConverter(row.codePage);
        ASSERT_NE(converter, nullptr);
        const std::string text = "REGEDIT4\n" + UninstallEntry("Zk:" + row.name, "Zk:" + row.name,
                                                               "C:\\\\" + row.name, "A");
        const std::optional<std::string> ansi = converter->ToAnsi(*Utf8ToUtf16(text));
        ASSERT_TRUE(ansi);
        const ScratchFile file(*ansi);
        const ToolRun run = RunTool(
            {"--code-page", std::to_string(row.codePage), file.path(), "--find", row.asked});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(") = 1, log file \"" + row.name + ".isu\""), std::string::npos)
            << run.out;
    }
}

// Each answer is one JSON object, its parts in a fixed order, and text with quotes, backslashes
// and Cyrillic reads back as it was stored.
TEST(Tool, JsonAnswersReadBackWithTheirText) {
    const ScratchFile file(RichExport());
    const struct {
        std::vector<std::string> question;
        std::vector<std::string> keys;
    } cases[] = {
        {{}, {"codePage", "view", "unrepresentable", "initV7Info", "catalogue", "skipped"}},
        {{"--find", "C:\\A\\"}, {"codePage", "view", "unrepresentable", "findISUInCatalog"}},
        {{"--prune", "C:\\A\\", "CORE"},
         {"codePage", "view", "unrepresentable", "removeAllInCatExcept"}},
        {{"--title", "Имя", "Т"}, {"codePage", "view", "unrepresentable", "regDBAddToTitles"}},
    };
    for (const auto& row : cases) {
        std::vector<std::string> arguments = {"--json", file.path()};
        arguments.insert(arguments.end(), row.question.begin(), row.question.end());
        const ToolRun run = RunTool(arguments);
        SCOPED_TRACE(row.keys.back());
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(run.out.back(), '\n');
        const auto answer = nlohmann::ordered_json::parse(run.out);
        std::vector<std::string> keys;
        for (const auto& item : answer.items()) keys.push_back(item.key());
        EXPECT_EQ(keys, row.keys);
    }
    const auto prune =
        nlohmann::json::parse(RunTool({"--json", file.path(), "--prune", "C:\\A\\", "CORE"}).out);
    std::map<std::string, std::string> texts;
    for (const auto& deletion : prune["removeAllInCatExcept"]["deletions"]) {
        for (const auto& value : deletion["values"]) {
            if (value.contains("text")) texts[value["name"]] = value["text"];
        }
    }
    EXPECT_EQ(texts["Имя"], "Значение \"1\"");
    EXPECT_EQ(texts["ZkPath"], "C:\\A\\f.exe");
    EXPECT_EQ(prune["removeAllInCatExcept"]["counter"],
              nlohmann::json::parse(R"({"before":3,"after":0,"written":true})"));
}

// The same keys where 64-bit Windows stores the 32-bit DLL's.
std::string UnderWow6432Node(std::string text) {
    const std::string native = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\";
    for (std::size_t at = text.find(native); at != std::string::npos;
         at = text.find(native, at + 1)) {
        text.insert(at + native.size(), "WOW6432Node\\");
    }
    return text;
}

// A 64-bit machine: the 32-bit DLL's components under WOW6432Node, and in the native view a
// family component logged in the same folder, with a counter of its own, that the 32-bit DLL
// never sees.
std::string SixtyFourBitMachineExport() {
    return UnderWow6432Node(RichExport()) + kProduct + "Components]\n@=dword:00000009\n" +
           UninstallEntry("Zk:Native", "Zk:Native", "C:\\\\A", "NATIVE") +
           ProductEntry("Zk:Native");
}

// The keys and values of the native view only, WOW6432Node left out.
std::vector<std::string> NativeView(MemoryRegistry& registry) {
    std::vector<std::string> lines;
    bool wow = false;
    for (const std::string& line : testing::ListRegistry(registry)) {
        if (line.front() == '[') wow = line.find("\\WOW6432Node") != std::string::npos;
        if (!wow) lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> CatalogueKeys(const CatalogueAnswer& answer) {
    std::vector<std::string> keys;
    for (const auto& [key, record] : answer.entries) keys.push_back(key);
    return keys;
}

// Each view answers from its own keys only, and names every key it would delete or write where
// the machine stores it.
TEST(Views, EachAnswersFromItsOwnKeysAndNamesThemWhereTheyAre) {
    const auto converter = MakeCodePageConverter(1251);
    const HostCodePage codePage(1251);
    const struct {
        RegistryView view;
        std::vector<std::string> catalogue;
        std::vector<std::string> pruned;
        const char* deletedUnder;
        int counterAfter;
    } cases[] = {
        {kWow64,
         {"Zk:Core", "Zk:Old", "Zk:Text", "Zk:Viewer"},
         {"Zk:Old", "Zk:Text", "Zk:Viewer"},
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\",
         0},
        {RegistryView::For(64, true),
         {"Zk:Native"},
         {"Zk:Native"},
         "HKEY_LOCAL_MACHINE\\SOFTWARE\\",
         8},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.view.dllBits());
        MemoryRegistry registry;
        Import(registry, *converter, codePage, SixtyFourBitMachineExport());
        EXPECT_EQ(CatalogueKeys(AskCatalogue(registry, row.view, codePage)), row.catalogue);
        const FindAnswer found = AskFind(registry, row.view, codePage, "C:\\A\\");
        EXPECT_EQ(found.result, 1);
        EXPECT_EQ(found.logFile, row.catalogue.front().substr(3) + ".isu");

        const std::vector<std::string> nativeBefore = NativeView(registry);
        const PruneAnswer answer = AskPrune(registry, row.view, codePage, "C:\\A\\", "CORE");
        EXPECT_EQ(answer.prunedKeys, row.pruned);
        ASSERT_FALSE(answer.deletions.empty());
        for (const KeyDeletion& deletion : answer.deletions) {
            EXPECT_EQ(deletion.path.rfind(row.deletedUnder, 0), 0u) << deletion.path;
            EXPECT_EQ(deletion.path.find("WOW6432Node") != std::string::npos, row.view.redirected())
                << deletion.path;
        }
        ASSERT_TRUE(answer.counterWrite);
        EXPECT_EQ(answer.counterWrite->keyPath,
                  "HKEY_LOCAL_MACHINE\\" +
                      row.view.MachinePath(kHkeyLocalMachine, kComponentCounterPath));
        EXPECT_EQ(Number(answer.counterWrite->after.data), row.counterAfter);
        if (row.view.redirected()) {
            EXPECT_EQ(NativeView(registry), nativeBefore);
        }
    }
}

// Imported on the machine, the backup puts back exactly what the 32-bit DLL would delete there,
// under WOW6432Node, and nothing of the native view.
TEST(Views, BackupRestoresTheRedirectedKeys) {
    const auto converter = MakeCodePageConverter(1251);
    const HostCodePage codePage(1251);
    MemoryRegistry original;
    MemoryRegistry pruned;
    Import(original, *converter, codePage, SixtyFourBitMachineExport());
    Import(pruned, *converter, codePage, SixtyFourBitMachineExport());
    const PruneAnswer answer = AskPrune(pruned, kWow64, codePage, "C:\\A\\", "CORE");
    ASSERT_EQ(answer.prunedKeys.size(), 3u);
    ASSERT_TRUE(answer.counterWrite);
    const std::string backup = std::get<std::string>(BackupRegFile(answer, *converter));
    std::istringstream keyLines(BackupText(backup));
    std::size_t keys = 0;
    for (std::string line; std::getline(keyLines, line);) {
        if (line.empty() || line.front() != '[') continue;
        ++keys;
        EXPECT_EQ(line.rfind("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\", 0), 0u) << line;
    }
    std::size_t deleted = 0;
    for (const KeyDeletion& deletion : answer.deletions) deleted += deletion.result == 0 ? 1 : 0;
    EXPECT_EQ(keys, deleted);
    ExpectBackupRestores(original, pruned, answer, *converter, codePage);
}

// The view is chosen from the export unless given: WOW6432Node means 64-bit Windows; an export
// without it (a 32-bit machine's, or a 32-bit program's) is the 32-bit DLL's keys as named.
TEST(Views, TheAnswerSaysWhichViewItIsFor) {
    const ScratchFile sixtyFour(SixtyFourBitMachineExport());
    const ScratchFile thirtyTwo(RichExport());
    const struct {
        std::vector<std::string> arguments;
        std::string view;
        std::string firstEntry;
    } cases[] = {
        {{sixtyFour.path()}, R"({"dll":32,"wow6432Node":true})", "Zk:Core"},
        {{"--view", "32", sixtyFour.path()}, R"({"dll":32,"wow6432Node":true})", "Zk:Core"},
        {{"--view", "64", sixtyFour.path()}, R"({"dll":64,"wow6432Node":false})", "Zk:Native"},
        {{thirtyTwo.path()}, R"({"dll":32,"wow6432Node":false})", "Zk:Core"},
    };
    for (const auto& row : cases) {
        std::vector<std::string> arguments = {"--json"};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        const ToolRun run = RunTool(arguments);
        SCOPED_TRACE(row.view);
        ASSERT_EQ(run.status, 0) << run.err;
        const auto answer = nlohmann::json::parse(run.out);
        EXPECT_EQ(answer["view"], nlohmann::json::parse(row.view));
        EXPECT_EQ(answer["catalogue"][0]["key"], row.firstEntry);
    }
    const ToolRun table = RunTool({sixtyFour.path(), "--prune", "C:\\A\\", "CORE"});
    EXPECT_EQ(table.out.rfind("Registry view: the 32-bit DLL's, HKEY_LOCAL_MACHINE\\SOFTWARE under "
                              "WOW6432Node\n\n",
                              0),
              0u)
        << table.out;
    EXPECT_NE(
        table.out.find("\n  HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Zk\\Zkv7\\7.5\\Zk:Text\n"),
        std::string::npos)
        << table.out;
}

}  // namespace
}  // namespace instdll::inspect
