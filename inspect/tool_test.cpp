#include "inspect/tool.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "inspect/backup_file.h"
#include "inspect/reg_file_reader.h"
#include "inspect/registry_import.h"
#include "tests/common/registry_listing.h"
#include "text/host_code_page.h"

namespace instdll::inspect {
namespace {

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
        const PruneAnswer answer = AskPrune(pruned, codePage, row.directory, row.keep);
        SCOPED_TRACE(row.directory);
        EXPECT_EQ(answer.prunedKeys.size(), row.pruned);
        if (row.pruned > 0) {
            EXPECT_NE(testing::ListRegistry(pruned), testing::ListRegistry(original));
        }
        Import(pruned, *converter, codePage, BackupRegFile(answer, *converter));
        EXPECT_EQ(testing::ListRegistry(pruned), testing::ListRegistry(original));
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
    const PruneAnswer answer = AskPrune(registry, codePage, "C:\\A\\", "");
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
    const CatalogueAnswer answer = AskCatalogue(registry, codePage);
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
        {{good.path(), "--code-page", "437"}, "unsupported code page 437", true},
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
         "\"codePage\":932,\"unrepresentable\":[],\"initV7Info\":1,\"catalogue\":[{\"key\":\"Zk:"
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

// Each answer is one JSON object, its parts in a fixed order, and text with quotes, backslashes
// and Cyrillic reads back as it was stored.
TEST(Tool, JsonAnswersReadBackWithTheirText) {
    const ScratchFile file(RichExport());
    const struct {
        std::vector<std::string> question;
        std::vector<std::string> keys;
    } cases[] = {
        {{}, {"codePage", "unrepresentable", "initV7Info", "catalogue", "skipped"}},
        {{"--find", "C:\\A\\"}, {"codePage", "unrepresentable", "findISUInCatalog"}},
        {{"--prune", "C:\\A\\", "CORE"}, {"codePage", "unrepresentable", "removeAllInCatExcept"}},
        {{"--title", "Имя", "Т"}, {"codePage", "unrepresentable", "regDBAddToTitles"}},
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

}  // namespace
}  // namespace instdll::inspect
