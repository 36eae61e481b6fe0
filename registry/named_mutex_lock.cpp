#include "registry/named_mutex_lock.h"

#include <windows.h>

#include <string>

namespace instdll {
namespace {

HANDLE CreateSharedStateMutex() {
    for (const char* space : {kGlobalNamespace, kLocalNamespace}) {
        const std::string name = std::string(space) + kSharedStateMutexName;
        if (HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str())) return mutex;
    }
    return nullptr;
}

}  // namespace

void NamedMutexLock::HandleCloser::operator()(void* handle) const { CloseHandle(handle); }

bool NamedMutexLock::Acquire() {
    std::unique_ptr<void, HandleCloser> mutex(CreateSharedStateMutex());
    if (!mutex) return false;
    // An abandoned mutex belongs to this thread now. Whatever its dead holder left half done
    // stays so however long this call waits, so the call goes on.
    const DWORD waited = WaitForSingleObject(mutex.get(), kSharedStateWaitMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return false;
    mutex_ = std::move(mutex);
    return true;
}

void NamedMutexLock::Release() {
    ReleaseMutex(mutex_.get());
    mutex_.reset();
}

}  // namespace instdll
