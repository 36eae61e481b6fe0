#include "log/catalog_log.h"

namespace instdll {
namespace {

const char* ScannedName(ScannedKey scanned) {
    return scanned == ScannedKey::UninstallRoot ? "uninstall root" : "product key";
}

const char* ReasonText(SkipReason reason) {
    switch (reason) {
        case SkipReason::NoFamilyPrefix:
            return "not of the family";
        case SkipReason::NotOpened:
            return "would not open";
        case SkipReason::ValueMissing:
            return "lacks ";
        case SkipReason::ValueTooLong:
            return "too long: ";
        case SkipReason::ValueUnread:
            return "unreadable: ";
        case SkipReason::KeyTaken:
            return "key taken by an earlier entry";
    }
    return "";
}

bool NamesValue(SkipReason reason) {
    return reason == SkipReason::ValueMissing || reason == SkipReason::ValueTooLong ||
           reason == SkipReason::ValueUnread;
}

}  // namespace

void ScanLog::SubkeySkipped(ScannedKey scanned, const std::string& subkey, SkipReason reason,
                            const char* value) {
    LogRecord record(log_);
    record.Text("passed over ").Text(ScannedName(scanned)).Text(" subkey ").Quoted(subkey);
    record.Text(": ").Text(ReasonText(reason));
    if (NamesValue(reason) && value != nullptr) record.Text(value);
}

void AppendEntry(LogRecord& record, const std::string& key, const ComponentRecord& entry) {
    record.Text("entry ").Quoted(key).Text(": log directory ").Quoted(entry.LogDir);
    record.Text(", log file ").Quoted(entry.LogFile).Text(", arguments ");
    record.Quoted(entry.UninstallArgs);
}

void LogCatalogue(CallLog* log, const ComponentCatalog& catalog) {
    if (log == nullptr) return;
    LogRecord(log)
        .Text("catalogue: ")
        .Number(static_cast<long long>(catalog.size()))
        .Text(catalog.size() == 1 ? " entry" : " entries");
    for (const auto& [key, entry] : catalog) {
        LogRecord record(log);
        AppendEntry(record, key, entry);
    }
}

}  // namespace instdll
