#pragma once

#include <cstdint>
#include <string_view>

#include "log/call_log.h"
#include "registry/registry_access.h"

namespace instdll {

// Values larger than this are named with their size instead of their data, so that a log
// never holds more than this of one value in memory.
inline constexpr std::uint32_t kLoggedDataLimit = 64 * 1024;

// `name`=data, as a REGEDIT4 file writes a value ("@" for the default value).
void AppendRegValue(LogRecord& record, std::string_view name, std::uint32_t type,
                    const std::uint8_t* data, std::size_t size);

// The value `name` of `key` as AppendRegValue writes it, or that it is absent or too long.
void AppendValueOf(LogRecord& record, RegistryAccess& registry, RegHandle key, const char* name);

// One record per value of `key`, in the registry's order. Returns how many there were. Memory
// for the log that cannot be had leaves a value, or all of them, unlogged: never an exception.
int LogValuesOf(CallLog& log, RegistryAccess& registry, RegHandle key);

}  // namespace instdll
