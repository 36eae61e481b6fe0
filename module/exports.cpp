// The ten exported functions: thin entries into the subsystems, bound to the real registry and
// the module-wide state, each writing its call to the log when INSTDLL_LOG names one. Names and
// ordinals come from InstDLL.def.
#include <windows.h>

#include <cstring>
#include <string_view>

#define INSTDLL_API
#include "include/InstDLL.h"

#include "chooser/chooser_paths.h"
#include "chooser/select_directory.h"
#include "log/catalog_log.h"
#include "log/export_log.h"
#include "log/log_format.h"
#include "log/registry_text.h"
#include "log/stamp_log.h"
#include "module/export_boundary.h"
#include "module/module_state.h"
#include "module/runtime_semaphores.h"
#include "registry/registry_paths.h"
#include "registry/win32_registry.h"
#include "stamping/user_params.h"
#include "utilities/small_utilities.h"
#include "utilities/titles.h"

using namespace instdll;

namespace {

ChooserModule ModuleChooser() {
    ModuleState& module = Module();
    return {module.app.ResourceHandle(), module.chooserMask, module.chooserTitle};
}

struct Argument {
    const char* name;
    const char* text;
    // Bytes that may be read: a caller's in-out buffer need not hold its terminating zero.
    std::size_t bound = static_cast<std::size_t>(-1);
};

// "called with name "text", ...", each text as the caller gave it; then the process's view.
void LogArguments(ExportLog& log, std::initializer_list<Argument> arguments) {
    if (log.get() == nullptr) return;
    LogRecord record = log.Record();
    record.Text(kLogCalled);
    const char* separator = " with ";
    for (const Argument& argument : arguments) {
        record.Text(separator).Text(argument.name).Text(" ");
        separator = ", ";
        if (argument.text == nullptr) {
            record.Text("null");
        } else {
            record.Text("\"").Ansi(
                std::string_view(argument.text, strnlen(argument.text, argument.bound)));
            record.Text("\"");
        }
    }
    record.End();
    log.Process();
}

const char* TitleNotStoredReason(int result, bool storeRefused) {
    if (storeRefused) return "the registry refused the store";
    switch (result) {
        case kErrorSuccess:
            return "the value name exists already";
        case kErrorInvalidParameter:
            return "the title, numbered as it would have to be, does not fit 255 bytes";
        case ERROR_NOT_ENOUGH_MEMORY:
            return "out of memory";
        default:
            return "the titles key would not open";
    }
}

int SelectLogged(const char* exportName, ChooserLanguage language, char* path) {
    ExportLog log(exportName);
    LogArguments(log, {{"path", path, kPathBufferSize - 1}});
    ProposedDirectoryFate fate;
    const int result = AtExportBoundary(
        0, [&] { return SelectDirectory(language, path, ModuleChooser(), &fate); });
    if (fate.created) log.Record().Text("created the proposed folder");
    if (fate.removed) log.Record().Text("removed the proposed folder");
    if (result == 1) log.Record().Text("chosen path \"").Ansi(path).Text("\"");
    return log.Result(result);
}

}  // namespace

extern "C" {

int __stdcall CheckPrivileges(void) {
    ExportLog log("CheckPrivileges");
    LogArguments(log, {});
    const int result = AtExportBoundary(0, [] { return CallerIsAdministrator() ? 1 : 0; });
    log.Record().Text(result == 1 ? "the caller is an administrator"
                                  : "the caller is not an administrator");
    return log.Result(result);
}

int __stdcall FindISUInCatalog(const char* directory, char* logFileName) {
    ExportLog log("FindISUInCatalog");
    LogArguments(log, {{"directory", directory}});
    const int result = AtExportBoundary(
        0, [&] { return Module().components.FindISUInCatalog(directory, logFileName); });
    if (log.get() != nullptr) {
        const InstalledComponents& components = Module().components;
        const auto found = components.FirstLoggedIn(directory);
        LogRecord record = log.Record();
        if (found == components.catalog().end()) {
            record.Text("no entry is logged in the directory");
        } else {
            record.Text("matched ");
            AppendEntry(record, found->first, found->second);
        }
    }
    if (logFileName != nullptr) log.Record().Text("logFileName \"").Ansi(logFileName).Text("\"");
    return log.Result(result);
}

int __stdcall InitV7Info(void) {
    ExportLog log("InitV7Info");
    LogArguments(log, {});
    ScanLog scans(log.get());
    InstalledComponents& components = Module().components;
    components.ObserveScans(log.get() != nullptr ? &scans : nullptr);
    int result = 0;
    {
        RegistryLogScope scope(Module().registry, log.get());
        result = AtExportBoundary(0, [&] { return components.InitV7Info(); });
    }
    components.ObserveScans(nullptr);
    LogCatalogue(log.get(), components.catalog());
    return log.Result(result);
}

int __stdcall RegDBAddToTitles(const char* valueName, const char* title) {
    ExportLog log("RegDBAddToTitles");
    LogArguments(log, {{"valueName", valueName}, {"title", title}});
    LoggingRegistry& registry = Module().registry;
    RegistryLogScope scope(registry, log.get());
    LockLogScope lockScope(Module().userState, log.get(), "looking up and storing without it");
    const int result = AtExportBoundary(ERROR_NOT_ENOUGH_MEMORY, [&] {
        return static_cast<int>(AddToTitles(registry, Module().userState, valueName, title));
    });
    if (registry.valuesWritten() == 0) {
        log.Record()
            .Text("nothing stored: ")
            .Text(TitleNotStoredReason(result, registry.valuesRefused() != 0));
    }
    return log.Result(result);
}

int __stdcall RegDBDeleteValue(const char* subKey, const char* valueName) {
    ExportLog log("RegDBDeleteValue");
    LogArguments(log, {{"subKey", subKey}, {"valueName", valueName}});
    RegistryLogScope scope(Module().registry, log.get());
    return log.Result(AtExportBoundary(0, [&] {
        DeleteMachineValue(Module().registry, subKey, valueName);
        return 0;
    }));
}

int __stdcall RemoveAllInCatExcept(const char* directory, const char* argumentsToKeep) {
    ExportLog log(kLogPruneExport);
    LogArguments(log, {{"directory", directory}, {"argumentsToKeep", argumentsToKeep}});
    if (log.get() != nullptr) {
        LogRecord record = log.Record();
        record.Text(kLogCounter);
        RegistryKey counter = OpenKey(SystemRegistry(), kHkeyLocalMachine, kComponentCounterPath);
        AppendValueOf(record, SystemRegistry(), counter.get(), kComponentCounterValue);
    }
    LoggingRegistry& registry = Module().registry;
    RegistryLogScope scope(registry, log.get());
    LockLogScope lockScope(
        Module().machineState, log.get(),
        "nothing pruned, every component stays in the catalogue for a later call");
    const int result = AtExportBoundary(
        1, [&] { return Module().components.RemoveAllInCatExcept(directory, argumentsToKeep); });
    if (registry.valuesWritten() == 0) log.Record().Text(kLogCounterNotWritten);
    return log.Result(result);
}

int __stdcall SelectCatalog(char* path) {
    return SelectLogged("SelectCatalog", ChooserLanguage::Russian, path);
}

int __stdcall SelectCatalogEng(char* path) {
    return SelectLogged("SelectCatalogEng", ChooserLanguage::English, path);
}

int __stdcall SelectCatalogUkr(char* path) {
    return SelectLogged("SelectCatalogUkr", ChooserLanguage::Ukrainian, path);
}

int __stdcall WriteUserParams(const char* targetFile, const char* first, const char* second) {
    ExportLog log("WriteUserParams");
    LogArguments(log, {{"targetFile", targetFile}, {"first", first}, {"second", second}});
    StampLog steps(log.get());
    return log.Result(AtExportBoundary(0, [&] {
        StampUserParams(targetFile, first, second, log.get() != nullptr ? &steps : nullptr);
        return 0;
    }));
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
    // At process exit other threads are gone, perhaps holding the runtime's locks: leave it be.
    const bool freedByCaller = reserved == nullptr;
    if (reason == DLL_PROCESS_DETACH && freedByCaller) CloseRuntimeSemaphores();
    return TRUE;
}

}  // extern "C"
