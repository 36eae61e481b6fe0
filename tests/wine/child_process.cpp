#include "tests/wine/child_process.h"

#include <fstream>
#include <iterator>

#include "gtest/gtest.h"

namespace instdll::testing {

DWORD RunToEnd(std::string command, std::string* output) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    const std::string outputPath =
        std::string(dir) + "instdll-child-output-" + std::to_string(GetCurrentProcessId());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = file;
    PROCESS_INFORMATION process{};
    DWORD code = 0xFFFFFFFF;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, 120000);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        const DWORD error = GetLastError();
        ADD_FAILURE() << "could not start " << command << ": error " << error;
    }
    CloseHandle(file);
    std::ifstream in(outputPath, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    DeleteFileA(outputPath.c_str());
    if (output != nullptr) *output = text;
    return code;
}

DWORD ImportWithRegedit(const std::string& regFile) {
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_TRUE(length > 0 && length < sizeof windows);
    return RunToEnd("\"" + std::string(windows) + "\\regedit.exe\" /s \"" + regFile + "\"");
}

}  // namespace instdll::testing
