#pragma once

#include "catalog/component_catalog.h"
#include "catalog/scan_observer.h"
#include "log/call_log.h"

namespace instdll {

// Writes a record for each subkey the scans pass over, with the reason.
class ScanLog final : public ScanObserver {
public:
    explicit ScanLog(CallLog* log) : log_(log) {}

    void SubkeySkipped(ScannedKey scanned, const std::string& subkey, SkipReason reason,
                       const char* value) override;

private:
    CallLog* log_;
};

// One record per catalogue entry: its key, log directory and file and arguments.
void LogCatalogue(CallLog* log, const ComponentCatalog& catalog);
// `entry "key"` and its uninstall log, as LogCatalogue writes them.
void AppendEntry(LogRecord& record, const std::string& key, const ComponentRecord& entry);

}  // namespace instdll
