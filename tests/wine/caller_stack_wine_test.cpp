// Every export called from 32-bit code as a setup program's compiler calls a __stdcall function:
// the arguments pushed right to left and nothing popped after the call. An export that removes
// the wrong number of bytes (built __cdecl, or with a wrong argument size in its export name)
// moves its caller's stack pointer, which these tests measure around each call.
#include <windows.h>

#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/common/title_list.h"
#include "tests/wine/loaded_library.h"
#include "tests/wine/message_box_watcher.h"
#include "tests/wine/registry_snapshot.h"

#ifndef __i386__
#error "the caller's stack is measured with i686 instructions"
#endif

namespace instdll::testing {
namespace {

struct StackedCall {
    int result = 0;
    std::intptr_t drift = 0;  // stack pointer after the call minus before it, in bytes
};

// Puts the stack pointer back after the call whatever the callee did, so that a wrong cleanup
// is measured instead of corrupting this frame.
__attribute__((noinline)) StackedCall CallAsStdcallCaller(
    const void* function, const std::vector<std::uintptr_t>& arguments) {
    StackedCall call;
    std::uintptr_t remaining = arguments.size();
    asm volatile(
        "movl %%esp, %%edi\n\t"
        "1:\n\t"
        "testl %[remaining], %[remaining]\n\t"
        "jz 2f\n\t"
        "pushl -4(%[arguments], %[remaining], 4)\n\t"
        "decl %[remaining]\n\t"
        "jmp 1b\n"
        "2:\n\t"
        "call *%[function]\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%edi, %%edx\n\t"
        "movl %%edi, %%esp"
        : "=a"(call.result), "=d"(call.drift), [remaining] "+c"(remaining)
        : [function] "b"(function), [arguments] "S"(arguments.data())
        : "edi", "memory", "cc");
    return call;
}

__attribute__((noinline)) int __cdecl CdeclDifference(int a, int b) { return a - b; }
__attribute__((noinline)) int __stdcall StdcallDifference(int a, int b) { return a - b; }

TEST(CallerStackProbeTest, SeesWhatACalleeLeavesOnTheStack) {
    const auto cdeclCall =
        CallAsStdcallCaller(reinterpret_cast<const void*>(&CdeclDifference), {5, 3});
    EXPECT_EQ(cdeclCall.result, 2);
    EXPECT_EQ(cdeclCall.drift, -8);
    const auto stdcallCall =
        CallAsStdcallCaller(reinterpret_cast<const void*>(&StdcallDifference), {5, 3});
    EXPECT_EQ(stdcallCall.result, 2);
    EXPECT_EQ(stdcallCall.drift, 0);
}

std::uintptr_t Text(const char* text) { return reinterpret_cast<std::uintptr_t>(text); }

char logFile[256];
char* const noPath = nullptr;
const std::string overlongTitle(300, 't');
constexpr char kUnknownDirectory[] = "C:\\Zk\\Nowhere\\";

struct ExportCall {
    const char* name;
    std::vector<std::uintptr_t> arguments;
    int result;
    bool showsBox = false;
};

// Inputs that leave the registry and the file system as they were and show no dialog.
const ExportCall kExportCalls[] = {
    {"CheckPrivileges", {}, 1},  // Wine runs its programs as an administrator
    {"FindISUInCatalog", {Text(kUnknownDirectory), Text(logFile)}, 0},
    {"InitV7Info", {}, 1},
    {"RegDBAddToTitles", {Text("zk-stack"), Text(overlongTitle.c_str())}, ERROR_INVALID_PARAMETER},
    {"RegDBDeleteValue", {Text("SOFTWARE"), Text("zk-stack-absent")}, 0},
    {"RemoveAllInCatExcept", {Text(kUnknownDirectory), Text("CORE")}, 1},
    {"SelectCatalog", {Text(noPath)}, 0},
    {"SelectCatalogEng", {Text(noPath)}, 0},
    {"SelectCatalogUkr", {Text(noPath)}, 0},
    {"WriteUserParams", {Text(""), Text("Zk"), Text("stack")}, 0, true},
};

// Failures name the export rather than dumping the table row's bytes.
void PrintTo(const ExportCall& call, std::ostream* out) { *out << call.name; }

class CallerStackTest : public ::testing::TestWithParam<ExportCall> {
protected:
    void SetUp() override { ASSERT_TRUE(dll.loaded()); }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, kFamilyUserKey); }

    LoadedInstDll dll;
};

TEST_P(CallerStackTest, LeavesTheCallersStackPointerWhereItWas) {
    const ExportCall& call = GetParam();
    const auto function = reinterpret_cast<const void*>(GetProcAddress(dll.module(), call.name));
    ASSERT_NE(function, nullptr);
    StackedCall made;
    if (call.showsBox) {
        const MessageBoxWatcher watcher;
        made = CallAsStdcallCaller(function, call.arguments);
    } else {
        made = CallAsStdcallCaller(function, call.arguments);
    }
    EXPECT_EQ(made.drift, 0) << "bytes left on the caller's stack (negative) or taken from it";
    EXPECT_EQ(made.result, call.result);
}

INSTANTIATE_TEST_SUITE_P(EveryExport, CallerStackTest, ::testing::ValuesIn(kExportCalls),
                         [](const auto& param) { return std::string(param.param.name); });

std::set<std::string> ExportedNames(HMODULE module) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::set<std::string> exported;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        exported.insert(reinterpret_cast<const char*>(base + names[i]));
    }
    return exported;
}

TEST(CallerStackCoverageTest, EveryExportIsMeasured) {
    LoadedInstDll dll;
    ASSERT_TRUE(dll.loaded());
    std::set<std::string> measured;
    for (const ExportCall& call : kExportCalls) measured.insert(call.name);
    EXPECT_EQ(ExportedNames(dll.module()), measured);
}

}  // namespace
}  // namespace instdll::testing
