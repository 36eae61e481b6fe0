#include "log/logging_registry.h"

#include <cstring>

#include "log/registry_text.h"
#include "registry/registry_key.h"
#include "registry/root_names.h"

namespace instdll {
namespace {

std::string_view NameText(const char* text) {
    return text == nullptr ? std::string_view() : std::string_view(text);
}

void AppendError(LogRecord& record, long error) { record.Text(" failed: error ").Number(error); }

}  // namespace

const LoggingRegistry::NamedKey* LoggingRegistry::Named(RegHandle key) const {
    for (const NamedKey& named : named_) {
        if (named.handle == key && key != 0) return &named;
    }
    return nullptr;
}

void LoggingRegistry::AppendPath(LogRecord& record, RegHandle key, const char* subKey) const {
    record.Text("[");
    if (const NamedKey* named = Named(key)) {
        record.Ansi(named->path);
    } else if (*RootName(key) != '\0') {
        record.Text(RootName(key));
    } else {
        record.Text("?");
    }
    if (!NameText(subKey).empty()) record.Text("\\").Ansi(subKey);
    record.Text("]");
}

void LoggingRegistry::KeyOpened(RegHandle parent, const char* subKey, RegHandle opened) {
    const std::string_view root = RootName(parent);
    const std::string_view sub = NameText(subKey);
    if (opened == parent || root.empty() || root.size() + 1 + sub.size() >= kLongestNamedPath) {
        return;
    }
    for (NamedKey& slot : named_) {
        if (slot.handle != 0) continue;
        slot.handle = opened;
        std::memcpy(slot.path, root.data(), root.size());
        slot.path[root.size()] = '\\';
        std::memcpy(slot.path + root.size() + 1, sub.data(), sub.size());
        slot.path[root.size() + 1 + sub.size()] = '\0';
        return;
    }
}

void LoggingRegistry::KeyClosed(RegHandle key) {
    for (NamedKey& slot : named_) {
        if (slot.handle == key) slot.handle = 0;
    }
}

long LoggingRegistry::RegSetValueExA(RegHandle key, const char* valueName, std::uint32_t type,
                                     const std::uint8_t* data, std::uint32_t dataSize) {
    if (log_ == nullptr) return inner().RegSetValueExA(key, valueName, type, data, dataSize);
    LogRecord record(log_);
    record.Text("wrote ");
    AppendPath(record, key, nullptr);
    record.Text(" ");
    AppendRegValue(record, NameText(valueName), type, data, data == nullptr ? 0 : dataSize);
    record.Text(" over ");
    AppendValueOf(record, inner(), key, valueName);
    const long result = inner().RegSetValueExA(key, valueName, type, data, dataSize);
    if (result == kErrorSuccess) {
        ++valuesWritten_;
    } else {
        ++valuesRefused_;
        AppendError(record, result);
    }
    return result;
}

long LoggingRegistry::RegDeleteKeyA(RegHandle key, const char* subKey) {
    if (log_ == nullptr) return inner().RegDeleteKeyA(key, subKey);
    // The values go first, as a .reg file would put them back; the key's fate follows them.
    int values = 0;
    {
        LogRecord header(log_);
        AppendPath(header, key, subKey);
    }
    {
        RegistryKey doomed = OpenKey(inner(), key, subKey == nullptr ? "" : subKey);
        if (doomed.is_open()) values = LogValuesOf(*log_, inner(), doomed.get());
    }
    const long result = inner().RegDeleteKeyA(key, subKey);
    LogRecord record(log_);
    if (result == kErrorSuccess) {
        record.Text("deleted, with ").Number(values).Text(values == 1 ? " value" : " values");
    } else {
        record.Text("delete");
        AppendError(record, result);
    }
    return result;
}

long LoggingRegistry::RegDeleteValueA(RegHandle key, const char* valueName) {
    if (log_ == nullptr) return inner().RegDeleteValueA(key, valueName);
    LogRecord record(log_);
    record.Text("delete value ");
    AppendPath(record, key, nullptr);
    record.Text(" ");
    AppendValueOf(record, inner(), key, valueName);
    const long result = inner().RegDeleteValueA(key, valueName);
    if (result == kErrorSuccess) {
        record.Text(": deleted");
    } else {
        AppendError(record, result);
    }
    return result;
}

}  // namespace instdll
