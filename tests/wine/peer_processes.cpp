#include "tests/wine/peer_processes.h"

namespace instdll::testing {
namespace {

constexpr LONG kMostPeers = 64;

std::string BesideThisProgram(const char* name) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string path(self);
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

// As the C runtime splits a command line: backslashes before the closing quote are doubled, or
// "C:\\Dir\\" would escape it. The arguments here hold no quotes.
std::string Quoted(const std::string& text) {
    const std::size_t trailing = text.size() - (text.find_last_not_of('\\') + 1);
    return "\"" + text + std::string(trailing, '\\') + "\"";
}

}  // namespace

Peers::Peers(const char* program)
    : program_(BesideThisProgram(program)),
      tag_(std::to_string(GetCurrentProcessId()) + "." + std::to_string(++groups_)),
      start_(CreateEventA(nullptr, TRUE, FALSE, StartName().c_str())),
      ready_(CreateSemaphoreA(nullptr, 0, kMostPeers, ReadyName().c_str())) {}

bool Peers::Start(const std::vector<std::string>& arguments) {
    std::string commandLine =
        Quoted(program_) + " " + Quoted(StartName()) + " " + Quoted(ReadyName());
    for (const std::string& argument : arguments) commandLine += " " + Quoted(argument);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    processes_.emplace_back(process.hProcess);
    return true;
}

bool Peers::AllReady() {
    std::vector<HANDLE> handles{ready_.get()};
    for (const PeerProcess& process : processes_) handles.push_back(process.get());
    for (std::size_t i = 0; i < processes_.size(); ++i) {
        if (WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                   kReadyMs) != WAIT_OBJECT_0) {
            return false;
        }
    }
    return true;
}

std::vector<DWORD> Peers::Finish(DWORD patienceMs) {
    std::vector<HANDLE> handles;
    for (const PeerProcess& process : processes_) handles.push_back(process.get());
    if (WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE,
                               patienceMs) != WAIT_OBJECT_0) {
        return {};
    }
    std::vector<DWORD> codes;
    for (HANDLE process : handles) {
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        codes.push_back(code);
    }
    return codes;
}

bool SignalReady(const char* ready) {
    const OwnedHandle semaphore(OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, ready));
    return semaphore != nullptr && ReleaseSemaphore(semaphore.get(), 1, nullptr) != FALSE;
}

bool AwaitStart(const char* start) {
    const OwnedHandle event(OpenEventA(SYNCHRONIZE, FALSE, start));
    return event != nullptr && WaitForSingleObject(event.get(), INFINITE) == WAIT_OBJECT_0;
}

}  // namespace instdll::testing
