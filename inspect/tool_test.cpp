#include "inspect/tool.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "inspect/backup_file.h"
#include "inspect/reg_file_reader.h"
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
            const std::string& bytes) {
    RegistryImport import(registry, converter);
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
        Import(original, *converter, RichExport());
        Import(pruned, *converter, RichExport());
        const PruneAnswer answer = AskPrune(pruned, codePage, row.directory, row.keep);
        SCOPED_TRACE(row.directory);
        EXPECT_EQ(answer.prunedKeys.size(), row.pruned);
        if (row.pruned > 0) {
            EXPECT_NE(testing::ListRegistry(pruned), testing::ListRegistry(original));
        }
        Import(pruned, *converter, BackupRegFile(answer, *converter));
        EXPECT_EQ(testing::ListRegistry(pruned), testing::ListRegistry(original));
    }
}

// The answer is the library's: the deletes answer as the machine's registry would, and a
// component none of whose keys could be deleted is neither pruned nor counted.
TEST(Prune, CountsOnlyTheComponentsWhoseKeysItDeleted) {
    const auto converter = MakeCodePageConverter(1251);
    const HostCodePage codePage(1251);
    MemoryRegistry registry;
    Import(registry, *converter,
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
    Import(registry, *converter,
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

TEST(Tool, RefusesBadInvocationsWithStatus2AndNoAnswer) {
    const ScratchFile good("REGEDIT4\n");
    const ScratchFile bad("REGEDIT4\n[HKLM\\SOFTWARE\n");
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{}, "instdll-inspect: no export file given\nusage:"},
        {{good.path(), "--bogus"}, "instdll-inspect: unknown option --bogus\nusage:"},
        {{good.path(), "--prune", "C:\\"}, "instdll-inspect: --prune needs 2 arguments\nusage:"},
        {{good.path(), "--find", "a", "--title", "a", "b"},
         "instdll-inspect: one question at a time"},
        {{good.path(), "--backup", "x.reg"}, "instdll-inspect: --backup goes with --prune"},
        {{good.path(), "--code-page", "437"}, "instdll-inspect: unsupported code page 437"},
        {{good.path(), "--live"}, "instdll-inspect: --live reads a Windows machine's own registry"},
        {{"/nonexistent/x.reg"}, "instdll-inspect: cannot open /nonexistent/x.reg\nusage:"},
        {{good.path(), bad.path()}, bad.path() + ":2: expected \"]\" at the end of the key line\n"},
        {{good.path(), "--code-page", "1252", "--find", "Каталог"},
         "instdll-inspect: an argument cannot be written in code page 1252"},
    };
    for (const auto& row : cases) {
        const ToolRun run = RunTool(row.arguments);
        SCOPED_TRACE(row.message);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.substr(0, row.message.size()), row.message);
    }
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

}  // namespace
}  // namespace instdll::inspect
