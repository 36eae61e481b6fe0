#include "selftest/checks.h"

#include <windows.h>
// After windows.h, which it needs.
#include <imagehlp.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "chooser/chooser_ids.h"
#include "registry/registry_paths.h"
#include "registry/win32_registry.h"
#include "selftest/family_keys.h"
#include "selftest/folders.h"
#include "stamping/pe_overlay.h"
#include "stamping/resource_file.h"
#include "stamping/stamp_files.h"
#include "tests/common/catalog_seed.h"
#include "tests/common/title_list.h"
#include "tests/wine/live_chooser.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/message_box_watcher.h"

namespace instdll::selftest {
namespace {

using instdll::testing::InstDllExports;
using instdll::testing::LoadedInstDll;

// Gathers what a check saw; one expectation that does not hold fails the check.
class Verdict {
public:
    // Records `seen`; `expected` is added where it differs.
    template <typename T>
    void Expect(const std::string& what, const T& seen, const T& expected) {
        Note(seen == expected, what + " " + Shown(seen) +
                                   (seen == expected ? "" : " (expected " + Shown(expected) + ")"));
    }
    void Note(bool holds, const std::string& observation) {
        if (!outcome_.saw.empty()) outcome_.saw += "; ";
        outcome_.saw += holds ? observation : "NOT " + observation;
        outcome_.passed &= holds;
    }
    Outcome Take() { return std::move(outcome_); }

private:
    static std::string Shown(int value) { return std::to_string(value); }
    static std::string Shown(bool value) { return value ? "yes" : "no"; }
    static std::string Shown(const std::string& value) { return '"' + value + '"'; }

    Outcome outcome_{true, ""};
};

// The DLL loaded afresh, so that its catalogue starts empty; nullptr with `verdict` told why.
class FreshDll {
public:
    FreshDll(const Context& context, Verdict& verdict) : dll_(context.dllPath) {
        std::string missing;
        resolved_ = dll_.ResolveAll(&missing);
        if (!resolved_) verdict.Note(false, "loaded with every export (missing " + missing + ")");
    }
    const InstDllExports* operator->() const { return resolved_ ? &dll_.exports() : nullptr; }
    bool usable() const { return resolved_; }

private:
    LoadedInstDll dll_;
    bool resolved_ = false;
};

// Removes the family's keys a check seeded, also when it stops early.
struct FamilyKeysRemoved {
    FamilyKeysRemoved() = default;
    FamilyKeysRemoved(const FamilyKeysRemoved&) = delete;
    FamilyKeysRemoved& operator=(const FamilyKeysRemoved&) = delete;
    ~FamilyKeysRemoved() { RemoveFamilyKeys(); }
};

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(module, path, sizeof path);
    return std::string(path, length < sizeof path ? length : 0);
}

Outcome ExportsResolve(const Context& context) {
    Verdict verdict;
    LoadedInstDll dll(context.dllPath);
    verdict.Note(dll.loaded(),
                 "loaded " + context.dllPath +
                     (dll.loaded() ? "" : " (error " + std::to_string(GetLastError()) + ")"));
    std::string missing;
    const bool resolved = dll.ResolveAll(&missing);
    verdict.Note(resolved, resolved ? "all ten exports resolved by name" : "resolved " + missing);
    if (dll.loaded()) {
        const std::string loaded = ModulePath(dll.module());
        verdict.Note(lstrcmpiA(loaded.c_str(), context.dllPath.c_str()) == 0,
                     "the loaded module is " + loaded);
    }
    return verdict.Take();
}

Outcome PrivilegesMatchElevation(const Context& context) {
    Verdict verdict;
    FreshDll dll(context, verdict);
    if (!dll.usable()) return verdict.Take();
    verdict.Expect("CheckPrivileges", dll->CheckPrivileges(), context.elevated ? 1 : 0);
    return verdict.Take();
}

// Two components logged in one directory, each with its product subkey, and a counter of 5.
constexpr char kKept[] = "Zk:SelfTest Kept";
constexpr char kPruned[] = "Zk:SelfTest Pruned";
constexpr char kKeptArguments[] = "-keep";
constexpr char kLogFile[] = "l.isu";
constexpr std::uint32_t kCounterBefore = 5;

std::string LogDirectory(const Context& context) { return context.workDir + "\\Product\\"; }

bool SeedTwoComponents(const Context& context, Verdict& verdict) {
    using namespace instdll::testing;
    RegistryAccess& registry = SystemRegistry();
    const std::string dir = LogDirectory(context);
    const bool seeded =
        SeedLoggedComponent(registry, kKept, dir, kKeptArguments) &&
        SeedLoggedComponent(registry, kPruned, dir, "-other") &&
        SeedProductComponent(registry, std::string(kKept) + " Net", "Zk", dir + "zk.exe") &&
        SeedProductComponent(registry, std::string(kPruned) + " Net", "Zk", dir + "zk.exe") &&
        SeedCounter(registry, kRegDword, NumberBytes(kCounterBefore));
    verdict.Note(seeded, "two components seeded under HKEY_LOCAL_MACHINE");
    return seeded;
}

// The two components seeded, and the DLL loaded afresh with its catalogue built from them; the
// family's keys go with the scene.
class CatalogueScene {
public:
    CatalogueScene(const Context& context, Verdict& verdict)
        : seeded_(SeedTwoComponents(context, verdict)), dll_(context, verdict) {
        if (dll_.usable()) verdict.Expect("InitV7Info", dll_->InitV7Info(), 1);
    }
    bool usable() const { return seeded_ && dll_.usable(); }
    const InstDllExports& dll() const { return *dll_.operator->(); }

private:
    FamilyKeysRemoved removed_;
    bool seeded_;
    FreshDll dll_;
};

std::string Find(const InstDllExports& dll, const std::string& directory, int* result) {
    char buffer[300];
    std::memset(buffer, 'X', sizeof buffer);
    *result = dll.FindISUInCatalog(directory.c_str(), buffer);
    return std::string(buffer, strnlen(buffer, 256));
}

Outcome CatalogueFindsTheLog(const Context& context) {
    Verdict verdict;
    const CatalogueScene scene(context, verdict);
    if (!scene.usable()) return verdict.Take();
    int result = 0;
    std::string found = Find(scene.dll(), LogDirectory(context), &result);
    verdict.Expect("FindISUInCatalog", result, 1);
    verdict.Expect("found", found, std::string(kLogFile));
    found = Find(scene.dll(), context.workDir + "\\Elsewhere\\", &result);
    verdict.Expect("FindISUInCatalog of another directory", result, 0);
    return verdict.Take();
}

Outcome PruningLowersTheCounter(const Context& context) {
    using namespace instdll::testing;
    Verdict verdict;
    const CatalogueScene scene(context, verdict);
    if (!scene.usable()) return verdict.Take();
    verdict.Expect("RemoveAllInCatExcept",
                   scene.dll().RemoveAllInCatExcept(LogDirectory(context).c_str(), kKeptArguments),
                   1);
    RegistryAccess& registry = SystemRegistry();
    verdict.Expect("kept component's entries present",
                   KeyExists(registry, UninstallEntryPath(kKept)) &&
                       KeyExists(registry, ProductComponentPath(std::string(kKept) + " Net")),
                   true);
    verdict.Expect("other component's entries present",
                   KeyExists(registry, UninstallEntryPath(kPruned)) ||
                       KeyExists(registry, ProductComponentPath(std::string(kPruned) + " Net")),
                   false);
    const std::optional<RawValue> counter = ReadCounter(registry);
    const bool lowered = counter == RawValue{kRegDword, NumberBytes(kCounterBefore - 1)};
    verdict.Note(lowered, "counter lowered from " + std::to_string(kCounterBefore) + " to " +
                              std::to_string(kCounterBefore - 1) + " as a REG_DWORD");
    return verdict.Take();
}

Outcome TitlesAreNumbered(const Context& context) {
    using namespace instdll::testing;
    Verdict verdict;
    FamilyKeysRemoved removed;
    FreshDll dll(context, verdict);
    if (!dll.usable()) return verdict.Take();
    verdict.Expect("RegDBAddToTitles", dll->RegDBAddToTitles("first", "Zk Self-test"), 0);
    verdict.Expect("RegDBAddToTitles again", dll->RegDBAddToTitles("second", "Zk Self-test"), 0);
    std::string stored;
    for (const TitleValue& value : ReadTitles(SystemRegistry()).value_or(std::vector<TitleValue>{}))
        stored += (stored.empty() ? "" : ", ") + value.name + "=" + value.data.c_str();
    // Windows enumerates values in the order they were written; Wine in name order. Both
    // put "first" before "second".
    verdict.Expect("titles", stored, std::string("first=Zk Self-test, second=Zk Self-test #1"));
    return verdict.Take();
}

// A key of the family's, so that it goes with the rest.
constexpr char kScratchKey[] = "SOFTWARE\\Zk\\SelfTest";

std::string ValueNames(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return "(no key)";
    std::string names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names += (names.empty() ? "" : ",") + std::string(name, size);
    }
    RegCloseKey(key);
    return names;
}

Outcome ValueDeleteKeepsTheRest(const Context& context) {
    using namespace instdll::testing;
    Verdict verdict;
    FamilyKeysRemoved removed;
    RegistryAccess& registry = SystemRegistry();
    verdict.Note(SeedText(registry, kScratchKey, "gone", "x") &&
                     SeedText(registry, kScratchKey, "kept", "x"),
                 "two values seeded");
    FreshDll dll(context, verdict);
    if (!dll.usable()) return verdict.Take();
    verdict.Expect("RegDBDeleteValue", dll->RegDBDeleteValue(kScratchKey, "gone"), 0);
    verdict.Expect("values left", ValueNames(HKEY_LOCAL_MACHINE, kScratchKey), std::string("kept"));
    const std::string created = std::string(kScratchKey) + "\\Created";
    verdict.Expect("RegDBDeleteValue on a missing key", dll->RegDBDeleteValue(created.c_str(), "v"),
                   0);
    verdict.Expect("that key created", KeyExists(registry, created), true);
    return verdict.Take();
}

// A folder of the check's own: made at once, removed with all it holds at the end.
class OwnFolder {
public:
    explicit OwnFolder(std::string path) : path_(std::move(path)) {
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    OwnFolder(const OwnFolder&) = delete;
    OwnFolder& operator=(const OwnFolder&) = delete;
    ~OwnFolder() { RemoveFolder(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

using SelectExport = decltype(&::SelectCatalog);

struct Language {
    const char* name;
    SelectExport InstDllExports::*select;
    UINT title;
};

Outcome ChooserSelectsTheProposedFolder(const Context& context) {
    const Language languages[] = {
        {"SelectCatalog", &InstDllExports::SelectCatalog, IDS_TITLE_RUSSIAN},
        {"SelectCatalogEng", &InstDllExports::SelectCatalogEng, IDS_TITLE_ENGLISH},
        {"SelectCatalogUkr", &InstDllExports::SelectCatalogUkr, IDS_TITLE_UKRAINIAN},
    };
    Verdict verdict;
    LoadedInstDll dll(context.dllPath);
    std::string missing;
    if (!dll.ResolveAll(&missing)) {
        verdict.Note(false, "resolved " + missing);
        return verdict.Take();
    }
    const OwnFolder proposed(context.workDir + "\\Chosen");
    for (const Language& language : languages) {
        wchar_t expectedTitle[128] = {};
        LoadStringW(dll.module(), language.title, expectedTitle, 128);
        char path[MAX_PATH] = {};
        std::strcpy(path, proposed.path().c_str());
        std::wstring title;
        std::string shown;
        std::string problem;
        const int result =
            testing::RunWithChooser([&] { return (dll.exports().*language.select)(path); },
                                    [&](testing::LiveChooser& chooser) {
                                        title = testing::LiveChooser::Text(chooser.dialog());
                                        chooser.WaitForShownFolder(proposed.path());
                                        shown = chooser.ShownFolder();
                                        chooser.Click(IDC_SELECT);
                                    },
                                    problem);
        const std::string name = language.name;
        verdict.Note(problem.empty(),
                     name + " driven to its end" + (problem.empty() ? "" : ": " + problem));
        verdict.Note(title == expectedTitle && !title.empty(), name + " titled in its language");
        verdict.Expect(name + " showed", shown, proposed.path());
        verdict.Expect(name, result, 1);
        verdict.Expect(name + " chose", std::string(path), proposed.path());
    }
    return verdict.Take();
}

std::string FileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ResourceBytes(const std::string& path, std::uint16_t name) {
    for (const Resource& resource : ReadResources(path)) {
        if (resource.type.number == 10 && resource.name.number == name && resource.language == 0)
            return resource.bytes;
    }
    return "(none)";
}

std::optional<PeHeaders> HeadersOf(const std::string& path) {
    const FileCalls files;
    const OpenFile file(path, GENERIC_READ, FILE_SHARE_READ, files);
    return ReadPeHeaders(file);
}

// What follows the sections, up to the certificate table where there is one.
std::string Overlay(const std::string& bytes, const PeHeaders& headers) {
    const std::uint64_t end =
        headers.certificateTable.size != 0 ? headers.certificateTable.offset : bytes.size();
    if (headers.sectionsEnd > end || end > bytes.size()) return "";
    // Both fit the string's size type: they are within the file read into it.
    return bytes.substr(static_cast<std::size_t>(headers.sectionsEnd),
                        static_cast<std::size_t>(end - headers.sectionsEnd));
}

Outcome StampingLeavesAWellFormedUnsignedFile(const Context& context) {
    Verdict verdict;
    FreshDll dll(context, verdict);
    if (!dll.usable()) return verdict.Take();
    const OwnFolder folder(context.workDir + "\\Stamped");
    const std::string target = folder.path() + "\\target.exe";
    verdict.Note(CopyFileA(context.signedTarget.c_str(), target.c_str(), FALSE) != 0,
                 "signed target copied");
    const std::optional<PeHeaders> before = HeadersOf(target);
    const std::string overlayBefore = before ? Overlay(FileBytes(target), *before) : "";
    verdict.Note(before && before->certificateTable.size != 0 && !overlayBefore.empty(),
                 "the copy carries a signature and a payload");

    testing::MessageBoxWatcher watcher;
    verdict.Expect("WriteUserParams", dll->WriteUserParams(target.c_str(), "Zk first", "Zk second"),
                   0);
    const testing::ShownBox& box = watcher.Finish();
    verdict.Note(box.shown && box.caption == "Zk first",
                 "message box captioned \"" + box.caption + "\"");

    verdict.Expect("resource 300", ResourceBytes(target, 300), std::string("Zk first"));
    verdict.Expect("resource 301", ResourceBytes(target, 301), std::string("Zk second"));
    const std::optional<PeHeaders> after = HeadersOf(target);
    verdict.Note(after && after->certificateTable.size == 0 && after->certificateTable.offset == 0,
                 "security entry cleared");
    verdict.Note(after && Overlay(FileBytes(target), *after) == overlayBefore,
                 "payload kept byte for byte");
    DWORD inHeader = 0;
    DWORD computed = 0;
    const bool summed =
        MapFileAndCheckSumA(target.c_str(), &inHeader, &computed) == CHECKSUM_SUCCESS;
    verdict.Note(summed && inHeader == computed && computed != 0, "header checksum right");
    return verdict.Take();
}

// What a setup without elevation sees: no rights, no catalogue, and nothing written to the
// machine's keys, neither there nor in a virtualised copy.
Outcome StandardUserWritesNothingForTheMachine(const Context& context) {
    Verdict verdict;
    FamilyKeysRemoved removed;
    FreshDll dll(context, verdict);
    if (!dll.usable()) return verdict.Take();
    verdict.Expect("CheckPrivileges", dll->CheckPrivileges(), 0);
    verdict.Expect("InitV7Info", dll->InitV7Info(), 0);
    verdict.Expect("RegDBDeleteValue", dll->RegDBDeleteValue(kScratchKey, "v"), 0);
    std::string left;
    for (const FamilyKey& key : FamilyKeysPresent()) {
        std::wstring path = RootedPath(key);
        left += (left.empty() ? "" : ", ") + std::string(path.begin(), path.end());
    }
    verdict.Expect("family keys afterwards", left.empty() ? std::string("none") : left,
                   std::string("none"));
    return verdict.Take();
}

}  // namespace

const std::vector<Check>& Checks() {
    static const std::vector<Check> checks = {
        {"exports", "the DLL beside the program loads and resolves its ten exports",
         RunsWhen::Always, ExportsResolve},
        {"privileges", "CheckPrivileges answers 1 exactly when the process is elevated",
         RunsWhen::Always, PrivilegesMatchElevation},
        {"catalogue", "InitV7Info builds the catalogue; FindISUInCatalog names a directory's log",
         RunsWhen::Elevated, CatalogueFindsTheLog},
        {"prune", "RemoveAllInCatExcept deletes the other component's keys and lowers the counter",
         RunsWhen::Elevated, PruningLowersTheCounter},
        {"titles", "RegDBAddToTitles numbers a title that is taken", RunsWhen::Always,
         TitlesAreNumbered},
        {"value-delete", "RegDBDeleteValue deletes one value and creates a missing key",
         RunsWhen::Elevated, ValueDeleteKeepsTheRest},
        {"chooser", "each language's chooser shows, and Select returns the proposed folder",
         RunsWhen::Always, ChooserSelectsTheProposedFolder},
        {"stamp", "WriteUserParams stamps a signed copy into a well-formed unsigned file",
         RunsWhen::Always, StampingLeavesAWellFormedUnsignedFile},
        {"standard-user",
         "without elevation: no rights, no catalogue, nothing written for the machine",
         RunsWhen::NotElevated, StandardUserWritesNothingForTheMachine},
    };
    return checks;
}

bool Applies(const Check& check, bool elevated) {
    return check.runsWhen == RunsWhen::Always || (check.runsWhen == RunsWhen::Elevated) == elevated;
}

}  // namespace instdll::selftest
