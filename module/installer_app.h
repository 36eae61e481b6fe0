#pragma once

#include <windows.h>

namespace instdll {

// The library's application object: knows the module it was loaded from, the source of the
// chooser's templates and strings.
class InstallerApp {
public:
    InstallerApp();
    HINSTANCE ResourceHandle() const { return module_; }

private:
    static void ModuleAnchor();
    HINSTANCE module_ = nullptr;
};

}  // namespace instdll
