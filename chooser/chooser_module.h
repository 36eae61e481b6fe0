#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace instdll {

// What the chooser takes from the module that shows it. The mask and the title outlive every
// dialog: the platform's parameter block keeps pointers into both.
struct ChooserModule {
    // The module whose child templates and strings the dialog shows.
    HINSTANCE resourceModule;
    // The pattern no ordinary file matches, so that the list shows folders only.
    const std::string& mask;
    // The window title: made on the first dialog, reloaded by every dialog for its language.
    std::optional<std::string>& title;
};

}  // namespace instdll
