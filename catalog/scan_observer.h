#pragma once

#include <string>

namespace instdll {

enum class ScannedKey { UninstallRoot, ProductKey };

// Why a scan passed over a subkey of the key it walked.
enum class SkipReason {
    NoFamilyPrefix,
    NotOpened,     // the subkey would not open with full access
    ValueMissing,  // `value` is absent
    ValueTooLong,  // `value` does not fit its 256-byte buffer
    ValueUnread,   // `value` failed to read for another reason
    KeyTaken,      // an earlier uninstall entry holds the same catalogue key
};

// Told, as the scans run, what they pass over; the DLL has none. For tools that explain a
// catalogue: the scans decide exactly as they do without one.
class ScanObserver {
public:
    virtual void SubkeySkipped(ScannedKey scanned, const std::string& subkey, SkipReason reason,
                               const char* value) = 0;

protected:
    ScanObserver() = default;
    ScanObserver(const ScanObserver&) = default;
    ScanObserver& operator=(const ScanObserver&) = default;
    ~ScanObserver() = default;
};

}  // namespace instdll
