#pragma once

#include <optional>
#include <string>

#include "catalog/installed_components.h"
#include "log/logging_lock.h"
#include "log/logging_registry.h"
#include "module/installer_app.h"
#include "registry/named_mutex_lock.h"

namespace instdll {

// The objects that live as long as the library is loaded. Members are built in declaration
// order at load and destroyed in reverse at unload, so the chooser title, made on first use,
// goes first and the application object last.
struct ModuleState {
    ModuleState();

    InstallerApp app;
    std::string chooserMask;
    NamedMutexLock machineMutex{LockScope::Machine};
    NamedMutexLock userMutex{LockScope::User};
    // Every export that changes shared state takes its lock through one of them, so that a
    // call's log says where it locked or why it could not: pruning the machine's, a title store
    // the user's.
    LoggingLock machineState{machineMutex};
    LoggingLock userState{userMutex};
    // Every registry call of the exports passes it, so that a call's log sees what it changes;
    // the catalogue's keys close through it, so it outlives them.
    LoggingRegistry registry;
    InstalledComponents components;
    std::optional<std::string> chooserTitle;
};

ModuleState& Module();

}  // namespace instdll
