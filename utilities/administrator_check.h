#pragma once

#include <windows.h>

#include <functional>

namespace instdll {

// The service manager only grants read, write and execute access at once to administrators.
inline constexpr DWORD kAdministratorAccess = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE;

// The service manager as the administrator check calls it; tests replace either call.
struct ServiceManagerCalls {
    std::function<SC_HANDLE(const char* machine, const char* database, DWORD access)> open =
        ::OpenSCManagerA;
    std::function<BOOL(SC_HANDLE)> close = ::CloseServiceHandle;
};

bool CallerIsAdministrator(const ServiceManagerCalls& calls);

}  // namespace instdll
