// instdll-selftest: proves the DLL beside it on the Windows it runs on, and leaves that Windows
// as it found it.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "selftest/checks.h"
#include "selftest/family_backup.h"
#include "selftest/family_keys.h"
#include "selftest/folders.h"
#include "selftest/machine.h"
#include "selftest/report.h"
#include "selftest/selftest_ids.h"

namespace instdll::selftest {
namespace {

constexpr int kAllPassed = 0;
constexpr int kChecksFailed = 1;
constexpr int kUsage = 2;
constexpr int kRefused = 3;
constexpr int kInterrupted = 130;

struct Options {
    std::string junit = "instdll-selftest.xml";
    std::optional<std::string> backup;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (i + 1 < argc && argument == "--junit") {
            options.junit = argv[++i];
        } else if (i + 1 < argc && argument == "--take-backup") {
            options.backup = argv[++i];
        } else {
            return std::nullopt;
        }
    }
    return options;
}

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length < sizeof path ? length : 0);
    return folder.substr(0, folder.find_last_of('\\'));
}

bool WriteCarriedTarget(const std::string& path) {
    const HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_SIGNED_TARGET), RT_RCDATA);
    const HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return false;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(bytes),
               static_cast<std::streamsize>(SizeofResource(nullptr, found)));
    file.close();
    return !file.fail();
}

// Everything the run changed, undone once: at its end, or from the console's Ctrl+C.
class Restorer {
public:
    void Arm(std::string workDir, std::unique_ptr<FamilyBackup> backup) {
        workDir_ = std::move(workDir);
        backup_ = std::move(backup);
    }
    // Whether the machine is as found: false when keys stayed or the backup did not come back.
    // Only the first caller restores; a later one gets nullopt.
    std::optional<bool> RestoreOnce() {
        if (InterlockedExchange(&started_, 1) != 0) return std::nullopt;
        RemoveFolder(workDir_);
        bool restored = RemoveFamilyKeys();
        if (backup_ != nullptr) restored &= backup_->PutBack();
        return restored;
    }

private:
    std::string workDir_;
    std::unique_ptr<FamilyBackup> backup_;
    volatile LONG started_ = 0;
};

Restorer restorer;

// Runs on a thread of its own while a check may still run. Once the run's end has begun
// restoring, the event is ignored: that end comes soon.
BOOL WINAPI OnConsoleControl(DWORD) {
    const std::optional<bool> restored = restorer.RestoreOnce();
    if (!restored) return TRUE;
    std::fputs(*restored ? "interrupted: the machine is as it was\n"
                         : "interrupted: some of the run's keys stayed\n",
               stderr);
    ExitProcess(kInterrupted);
}

std::string Join(const std::vector<FamilyKey>& keys) {
    std::string text;
    for (const FamilyKey& key : keys) {
        const std::wstring path = RootedPath(key);
        text += "  " + std::string(path.begin(), path.end()) + "\n";
    }
    return text;
}

CheckResult Run(const Check& check, const Context& context) {
    CheckResult result{check.name, check.meaning, Status::Skipped, ""};
    if (!Applies(check, context.elevated)) {
        result.saw = check.runsWhen == RunsWhen::Elevated ? "needs elevation: run as administrator"
                                                          : "runs without elevation only";
        return result;
    }
    try {
        const Outcome outcome = check.run(context);
        result.status = outcome.passed ? Status::Passed : Status::Failed;
        result.saw = outcome.saw;
    } catch (const std::exception& error) {
        result.status = Status::Failed;
        result.saw = std::string("stopped by ") + error.what();
    }
    return result;
}

int SelfTest(const Options& options) {
    const MachineFacts facts = ReadMachineFacts();
    const std::vector<FamilyKey> present = FamilyKeysPresent();
    std::unique_ptr<FamilyBackup> backup;
    if (!present.empty()) {
        if (!options.backup) {
            std::printf(
                "refused: the product family's keys exist on this machine:\n%s"
                "run with --take-backup FILE.reg to have them backed up, taken away for "
                "the run and put back after\n",
                Join(present).c_str());
            return kRefused;
        }
        backup = std::make_unique<FamilyBackup>(present);
        if (!backup->WriteRegFile(*options.backup) || !RemoveFamilyKeys()) {
            const bool restored = backup->PutBack();
            std::printf("refused: could not back up and take away the family's keys (%s)\n",
                        restored ? "they are as they were" : "import the backup to restore them");
            return kRefused;
        }
        std::printf("backed up the family's keys to %s\n", options.backup->c_str());
    }

    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    Context context;
    context.dllPath = ProgramFolder() + "\\InstDLL.dll";
    context.workDir =
        std::string(temp) + "instdll-selftest-" + std::to_string(GetCurrentProcessId());
    context.signedTarget = context.workDir + "\\signed.exe";
    context.elevated = facts.elevated;
    restorer.Arm(context.workDir, std::move(backup));
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);

    std::vector<CheckResult> results;
    if (!CreateDirectoryA(context.workDir.c_str(), nullptr) ||
        !WriteCarriedTarget(context.signedTarget)) {
        results.push_back({"setup", "the run's folder and its signed target", Status::Failed,
                           "could not write " + context.signedTarget});
    } else {
        for (const Check& check : Checks()) results.push_back(Run(check, context));
    }
    const bool restored = restorer.RestoreOnce().value_or(false);
    results.push_back({"leaves-no-trace",
                       "the family's keys and the run's folder removed, any "
                       "backed-up keys put back",
                       restored ? Status::Passed : Status::Failed,
                       restored ? "nothing left behind" : "something stayed; see the keys above"});
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);

    std::fputs(SummaryText(facts, results).c_str(), stdout);
    std::ofstream junit(options.junit, std::ios::binary | std::ios::trunc);
    junit << JUnitXml(facts, results);
    junit.close();
    if (junit.fail()) std::printf("could not write %s\n", options.junit.c_str());
    for (const CheckResult& result : results) {
        if (result.status == Status::Failed) return kChecksFailed;
    }
    return junit.fail() ? kChecksFailed : kAllPassed;
}

}  // namespace
}  // namespace instdll::selftest

int main(int argc, char** argv) {
    const auto options = instdll::selftest::ParseOptions(argc, argv);
    if (!options) {
        std::fputs("usage: instdll-selftest [--junit FILE.xml] [--take-backup FILE.reg]\n", stderr);
        return instdll::selftest::kUsage;
    }
    try {
        return instdll::selftest::SelfTest(*options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "instdll-selftest: %s\n", error.what());
        return instdll::selftest::kChecksFailed;
    }
}
