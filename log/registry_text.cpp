#include "log/registry_text.h"

#include <memory>
#include <new>

#include "log/log_format.h"

namespace instdll {
namespace {

// The registry's longest value name is 16,383 characters.
constexpr std::uint32_t kLongestValueName = 16384;

int HexDigits(std::uint32_t value) {
    int digits = 1;
    while ((value >>= 4) != 0) ++digits;
    return digits;
}

bool IsPlainString(std::uint32_t type, const std::uint8_t* data, std::size_t size) {
    if (type != kRegSz || size == 0 || data[size - 1] != 0) return false;
    for (std::size_t i = 0; i + 1 < size; ++i) {
        if (data[i] < 0x20 || data[i] == 0x7F) return false;
    }
    return true;
}

void AppendName(LogRecord& record, std::string_view name) {
    if (name.empty()) {
        record.Text("@");
    } else {
        record.Quoted(name);
    }
}

}  // namespace

void AppendRegValue(LogRecord& record, std::string_view name, std::uint32_t type,
                    const std::uint8_t* data, std::size_t size) {
    AppendName(record, name);
    record.Text("=");
    if (IsPlainString(type, data, size)) {
        record.Quoted(std::string_view(reinterpret_cast<const char*>(data), size - 1));
        return;
    }
    if (type == kRegDword && size == 4) {
        std::uint32_t bits = 0;
        for (int at = 3; at >= 0; --at) bits = bits << 8 | data[at];
        record.Text("dword:").Hex(bits, 8);
        return;
    }
    if (type == kRegBinary) {
        record.Text("hex:");
    } else {
        record.Text("hex(").Hex(type, HexDigits(type)).Text("):");
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0) record.Text(",");
        record.Hex(data[i], 2);
    }
}

void AppendValueOf(LogRecord& record, RegistryAccess& registry, RegHandle key, const char* name) {
    const std::string_view shownName = name == nullptr ? std::string_view() : name;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (registry.RegQueryValueExA(key, name, &type, nullptr, &size) != kErrorSuccess) {
        AppendName(record, shownName);
        record.Text(kLogValueAbsent);
        return;
    }
    if (size > kLoggedDataLimit) {
        AppendName(record, shownName);
        record.Text(kLogValueHolds)
            .Number(size)
            .Text(" bytes of type ")
            .Number(type)
            .Text(kLogValueTooLong);
        return;
    }
    // One byte more than needed, so that an empty value has a buffer too.
    const std::unique_ptr<std::uint8_t[]> data(new (std::nothrow) std::uint8_t[size + 1]);
    if (data == nullptr ||
        registry.RegQueryValueExA(key, name, &type, data.get(), &size) != kErrorSuccess) {
        AppendName(record, shownName);
        record.Text(kLogValueUnread);
        return;
    }
    AppendRegValue(record, shownName, type, data.get(), size);
}

int LogValuesOf(CallLog& log, RegistryAccess& registry, RegHandle key) {
    const std::unique_ptr<char[]> name(new (std::nothrow) char[kLongestValueName]);
    if (name == nullptr) return 0;
    int count = 0;
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t nameSize = kLongestValueName;
        if (registry.RegEnumValueA(key, index, name.get(), &nameSize, nullptr, nullptr, nullptr) !=
            kErrorSuccess) {
            return count;
        }
        LogRecord record(&log);
        AppendValueOf(record, registry, key, name.get());
        ++count;
    }
}

}  // namespace instdll
