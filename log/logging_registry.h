#pragma once

#include <array>

#include "log/call_log.h"
#include "registry/forwarding_registry.h"

namespace instdll {

// Passes every call to the registry underneath and, while a call's log is attached, writes down
// each key deleted with the values it held, each value written or deleted with its data before,
// and each of these that failed with its error. What it reads for the log goes straight to the
// registry underneath; it throws nothing, so a failure of the log never reaches the caller.
class LoggingRegistry final : public KeyWatchingRegistry {
public:
    using KeyWatchingRegistry::KeyWatchingRegistry;

    // Null detaches. Attaching starts new counts of values written and refused.
    void LogTo(CallLog* log) {
        log_ = log;
        valuesWritten_ = 0;
        valuesRefused_ = 0;
    }
    CallLog* log() const { return log_; }
    int valuesWritten() const { return valuesWritten_; }
    int valuesRefused() const { return valuesRefused_; }
    // "[path]" of a key the layer named; the parent's path when `subKey` is empty or null.
    void AppendPath(LogRecord& record, RegHandle key, const char* subKey) const;

    long RegSetValueExA(RegHandle key, const char* valueName, std::uint32_t type,
                        const std::uint8_t* data, std::uint32_t dataSize) override;
    long RegDeleteKeyA(RegHandle key, const char* subKey) override;
    long RegDeleteValueA(RegHandle key, const char* valueName) override;

private:
    // Keys opened straight under a root, named whether or not a log is attached: the pruning
    // deletes under keys that an earlier call opened. Subkeys the scans open are not named, so
    // that the scans cost what they cost unlogged; the slots bound what is kept.
    // The library holds at most three such keys at once: the two the catalogue keeps and one of
    // a call's own. A longer path leaves its key unnamed.
    static constexpr std::size_t kNamedKeys = 4;
    static constexpr std::size_t kLongestNamedPath = 160;
    struct NamedKey {
        RegHandle handle = 0;
        char path[kLongestNamedPath] = {};
    };

    void KeyOpened(RegHandle parent, const char* subKey, RegHandle opened) override;
    void KeyClosed(RegHandle key) override;
    const NamedKey* Named(RegHandle key) const;

    CallLog* log_ = nullptr;
    int valuesWritten_ = 0;
    int valuesRefused_ = 0;
    std::array<NamedKey, kNamedKeys> named_;
};

// Attaches a call's log to the layer for as long as it lives.
class RegistryLogScope {
public:
    RegistryLogScope(LoggingRegistry& registry, CallLog* log) : registry_(registry) {
        registry_.LogTo(log);
    }
    RegistryLogScope(const RegistryLogScope&) = delete;
    RegistryLogScope& operator=(const RegistryLogScope&) = delete;
    ~RegistryLogScope() { registry_.LogTo(nullptr); }

private:
    LoggingRegistry& registry_;
};

}  // namespace instdll
