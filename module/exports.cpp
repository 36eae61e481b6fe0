// The ten exported functions: thin entries into the subsystems, bound to the real registry and
// the module-wide state. Names and ordinals come from InstDLL.def.
#include <windows.h>

#define INSTDLL_API
#include "include/InstDLL.h"

#include "chooser/select_directory.h"
#include "module/export_boundary.h"
#include "module/module_state.h"
#include "module/runtime_semaphores.h"
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

}  // namespace

extern "C" {

int __stdcall CheckPrivileges(void) {
    return AtExportBoundary(0, [] { return CallerIsAdministrator() ? 1 : 0; });
}

int __stdcall FindISUInCatalog(const char* directory, char* logFileName) {
    return AtExportBoundary(
        0, [&] { return Module().components.FindISUInCatalog(directory, logFileName); });
}

int __stdcall InitV7Info(void) {
    return AtExportBoundary(0, [] { return Module().components.InitV7Info(); });
}

int __stdcall RegDBAddToTitles(const char* valueName, const char* title) {
    return AtExportBoundary(ERROR_NOT_ENOUGH_MEMORY, [&] {
        return static_cast<int>(
            AddToTitles(SystemRegistry(), Module().sharedState, valueName, title));
    });
}

int __stdcall RegDBDeleteValue(const char* subKey, const char* valueName) {
    return AtExportBoundary(0, [&] {
        DeleteMachineValue(SystemRegistry(), subKey, valueName);
        return 0;
    });
}

int __stdcall RemoveAllInCatExcept(const char* directory, const char* argumentsToKeep) {
    return AtExportBoundary(
        1, [&] { return Module().components.RemoveAllInCatExcept(directory, argumentsToKeep); });
}

int __stdcall SelectCatalog(char* path) {
    return AtExportBoundary(
        0, [&] { return SelectDirectory(ChooserLanguage::Russian, path, ModuleChooser()); });
}

int __stdcall SelectCatalogEng(char* path) {
    return AtExportBoundary(
        0, [&] { return SelectDirectory(ChooserLanguage::English, path, ModuleChooser()); });
}

int __stdcall SelectCatalogUkr(char* path) {
    return AtExportBoundary(
        0, [&] { return SelectDirectory(ChooserLanguage::Ukrainian, path, ModuleChooser()); });
}

int __stdcall WriteUserParams(const char* targetFile, const char* first, const char* second) {
    return AtExportBoundary(0, [&] {
        StampUserParams(targetFile, first, second);
        return 0;
    });
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
    // At process exit other threads are gone, perhaps holding the runtime's locks: leave it be.
    const bool freedByCaller = reserved == nullptr;
    if (reason == DLL_PROCESS_DETACH && freedByCaller) CloseRuntimeSemaphores();
    return TRUE;
}

}  // extern "C"
