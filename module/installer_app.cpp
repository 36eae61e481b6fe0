#include "module/installer_app.h"

namespace instdll {

InstallerApp::InstallerApp() {
    // The address of this constructor lies inside the DLL, so it names the DLL's own module.
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&ModuleAnchor), &module);
    module_ = module;
}

void InstallerApp::ModuleAnchor() {}

}  // namespace instdll
