#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace instdll::testing {

// How long a peer may take to start and load the library.
inline constexpr DWORD kReadyMs = 60000;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

struct ProcessCloser {
    void operator()(HANDLE process) const {
        // A peer that outlives its test is ended with it.
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
        CloseHandle(process);
    }
};
using PeerProcess = std::unique_ptr<void, ProcessCloser>;

// A group of peers, processes of a program beside this one: started one by one with the names
// START and READY before their own arguments, each waits until released with the others, so
// that what they do overlaps.
class Peers {
public:
    explicit Peers(const char* program);

    bool Start(const std::vector<std::string>& arguments);
    // Every peer started so far has loaded the library and waits; false as soon as one ends.
    bool AllReady();
    void Release() { SetEvent(start_.get()); }
    // The peers' exit codes, once all have ended within `patienceMs`; empty otherwise.
    std::vector<DWORD> Finish(DWORD patienceMs);
    HANDLE process(std::size_t index) const { return processes_[index].get(); }

private:
    std::string StartName() const { return "Local\\ZkSetupPeers.start." + tag_; }
    std::string ReadyName() const { return "Local\\ZkSetupPeers.ready." + tag_; }

    static inline int groups_ = 0;
    std::string program_;
    std::string tag_;
    OwnedHandle start_;
    OwnedHandle ready_;
    std::vector<PeerProcess> processes_;
};

// A peer's side: says it is ready on the semaphore named `ready`; waits for the event named
// `start`.
bool SignalReady(const char* ready);
bool AwaitStart(const char* start);

}  // namespace instdll::testing
