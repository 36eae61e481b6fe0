#include "utilities/administrator_check.h"

#include "utilities/small_utilities.h"

namespace instdll {
namespace {

// Sole owner of one service manager handle.
class ServiceManagerHandle {
public:
    ServiceManagerHandle(SC_HANDLE handle, const std::function<BOOL(SC_HANDLE)>& close)
        : handle_(handle), close_(close) {}
    ServiceManagerHandle(const ServiceManagerHandle&) = delete;
    ServiceManagerHandle& operator=(const ServiceManagerHandle&) = delete;
    ~ServiceManagerHandle() {
        if (handle_ != nullptr) close_(handle_);
    }

    bool is_open() const { return handle_ != nullptr; }

private:
    SC_HANDLE handle_;
    const std::function<BOOL(SC_HANDLE)>& close_;
};

}  // namespace

bool CallerIsAdministrator(const ServiceManagerCalls& calls) {
    const ServiceManagerHandle manager(calls.open(nullptr, nullptr, kAdministratorAccess),
                                       calls.close);
    return manager.is_open();
}

bool CallerIsAdministrator() { return CallerIsAdministrator(ServiceManagerCalls{}); }

}  // namespace instdll
