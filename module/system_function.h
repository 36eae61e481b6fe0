#pragma once

#include <windows.h>

namespace instdll {

// A function of a system DLL that every process has loaded, looked up by name rather than
// imported, for what not every Windows the DLL loads on has: null where it is absent.
template <typename Function>
Function SystemFunction(const char* module, const char* name) {
    const HMODULE loaded = GetModuleHandleA(module);
    if (loaded == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(loaded, name)));
}

}  // namespace instdll
