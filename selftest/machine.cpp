#include "selftest/machine.h"

#include <windows.h>

namespace instdll::selftest {
namespace {

// Resolved at run time: each is newer than the oldest Windows the program starts on.
template <typename Function>
Function SystemFunction(const char* module, const char* name) {
    const HMODULE loaded = GetModuleHandleA(module);
    if (loaded == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(loaded, name)));
}

// GetVersionEx answers what the program's manifest asks for; the kernel answers the truth.
std::string WindowsVersion() {
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const auto rtlGetVersion = SystemFunction<RtlGetVersionFunction>("ntdll.dll", "RtlGetVersion");
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) return "unknown";
    std::string text = "Windows " + std::to_string(info.dwMajorVersion) + "." +
                       std::to_string(info.dwMinorVersion) + " build " +
                       std::to_string(info.dwBuildNumber);
    text += info.wProductType == VER_NT_WORKSTATION ? ", workstation" : ", server";
    if (info.wServicePackMajor != 0)
        text += ", service pack " + std::to_string(info.wServicePackMajor);
    using WineVersionFunction = const char*(CDECL*)();
    if (const auto wine = SystemFunction<WineVersionFunction>("ntdll.dll", "wine_get_version"))
        text += " (Wine " + std::string(wine()) + ")";
    return text;
}

std::string MachineName(USHORT machine) {
    switch (machine) {
        case IMAGE_FILE_MACHINE_I386:
            return "x86";
        case IMAGE_FILE_MACHINE_AMD64:
            return "x64";
        case 0xAA64:
            return "ARM64";
        default:
            return "machine " + std::to_string(machine);
    }
}

// IsWow64Process2 names an ARM64 host, which IsWow64Process and the system information hide
// from an emulated program.
std::string NativeMachine(bool wow64) {
    using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const auto isWow64Process2 =
        SystemFunction<IsWow64Process2Function>("kernel32.dll", "IsWow64Process2");
    USHORT process = 0;
    USHORT native = 0;
    if (isWow64Process2 != nullptr && isWow64Process2(GetCurrentProcess(), &process, &native))
        return MachineName(native);
    if (sizeof(void*) == 8) return "x64";
    return wow64 ? "x64" : "x86";
}

bool IsWow64() {
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, BOOL*);
    const auto isWow64Process =
        SystemFunction<IsWow64ProcessFunction>("kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64Process != nullptr && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool IsAdministratorsMember() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    const bool known = CheckTokenMembership(nullptr, administrators, &member) != 0;
    FreeSid(administrators);
    return known && member;
}

}  // namespace

bool ProcessIsElevated(std::string* how) {
    HANDLE token = nullptr;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const bool known =
        OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    if (token != nullptr) CloseHandle(token);
    if (known) {
        if (how != nullptr) *how = elevation.TokenIsElevated ? "elevated token" : "not elevated";
        return elevation.TokenIsElevated != 0;
    }
    const bool member = IsAdministratorsMember();
    if (how != nullptr)
        *how = member ? "Administrators member (no elevation on this Windows)"
                      : "not an Administrators member";
    return member;
}

MachineFacts ReadMachineFacts() {
    MachineFacts facts;
    facts.windows = WindowsVersion();
    facts.wow64 = IsWow64();
    facts.nativeMachine = NativeMachine(facts.wow64);
    facts.bits = static_cast<int>(sizeof(void*) * 8);
    facts.codePage = GetACP();
    facts.elevated = ProcessIsElevated(&facts.elevation);
    return facts;
}

}  // namespace instdll::selftest
