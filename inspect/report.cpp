#include "inspect/report.h"

#include <cstdio>

#include "inspect/unicode_text.h"
#include "registry/registry_paths.h"

namespace instdll::inspect {
namespace {

constexpr int kFieldWidth = 15;

std::string Json(const std::string& utf8) {
    std::string quoted = "\"";
    for (char c : utf8) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string HexBytes(const std::vector<std::uint8_t>& data) {
    std::string hex;
    for (std::uint8_t byte : data) {
        char digits[4];
        std::snprintf(digits, sizeof digits, hex.empty() ? "%02x" : ",%02x", byte);
        hex += digits;
    }
    return hex;
}

// A value of up to four bytes as the library reads a number: little-endian, signed.
std::int32_t Number(const std::vector<std::uint8_t>& data) {
    std::uint32_t bits = 0;
    for (std::size_t at = 0; at < data.size() && at < 4; ++at) {
        bits |= static_cast<std::uint32_t>(data[at]) << (8 * at);
    }
    return static_cast<std::int32_t>(bits);
}

const char* ScanName(ScannedKey scanned) {
    return scanned == ScannedKey::UninstallRoot ? "uninstall list" : "product key   ";
}

std::string ReasonText(const SkippedSubkey& skipped) {
    const std::string value = "\"" + skipped.value + "\"";
    switch (skipped.reason) {
        case SkipReason::NoFamilyPrefix:
            return std::string("no \"") + kFamilyPrefix + "\" prefix";
        case SkipReason::NotOpened:
            return "does not open with full access";
        case SkipReason::ValueMissing:
            return "no value " + value;
        case SkipReason::ValueTooLong:
            return value + " does not fit 256 bytes";
        case SkipReason::ValueUnread:
            return value + " cannot be read";
        case SkipReason::KeyTaken:
            return "an earlier entry has its catalogue key";
    }
    return {};
}

const char* ReasonName(SkipReason reason) {
    switch (reason) {
        case SkipReason::NoFamilyPrefix:
            return "noFamilyPrefix";
        case SkipReason::NotOpened:
            return "notOpened";
        case SkipReason::ValueMissing:
            return "valueMissing";
        case SkipReason::ValueTooLong:
            return "valueTooLong";
        case SkipReason::ValueUnread:
            return "valueUnread";
        case SkipReason::KeyTaken:
            return "keyTaken";
    }
    return "";
}

const char* TitleOutcome(const TitleAnswer& answer) {
    if (answer.stored) return "stored";
    if (answer.result == kErrorSuccess) return "nothing stored: a value of that name exists";
    if (answer.result == kErrorInvalidParameter) {
        return "nothing stored: the title, or the numbered form it needs, does not fit 255 bytes";
    }
    return "nothing stored: the title list cannot be opened";
}

}  // namespace

std::string Report::Text(const std::string& ansi) const {
    if (const std::optional<std::u16string> text = converter_.ToUnicode(ansi)) {
        return ShownUtf8(*text);
    }
    std::string shown;
    for (char c : ansi) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            shown += c;
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            shown += escape;
        }
    }
    return shown;
}

std::string Report::Quoted(const std::string& ansi) const { return "\"" + Text(ansi) + "\""; }

// Text data shown without its terminating zeros, a zero inside it as \0.
std::string Report::TextData(const std::vector<std::uint8_t>& data) const {
    std::string ansi(data.begin(), data.end());
    while (!ansi.empty() && ansi.back() == '\0') ansi.pop_back();
    std::string shown;
    for (std::size_t start = 0;;) {
        const std::size_t zero = ansi.find('\0', start);
        shown += Text(ansi.substr(start, zero - start));
        if (zero == std::string::npos) return shown;
        shown += "\\0";
        start = zero + 1;
    }
}

std::string Report::ValueData(const ValueSnapshot& value) const {
    const std::string name = value.name.empty() ? "@" : Quoted(value.name);
    std::string data;
    if (IsTextType(value.type)) {
        data = "\"" + TextData(value.data) + "\"";
    } else if (value.type == kRegDword && value.data.size() == 4) {
        data = "dword " + std::to_string(Number(value.data));
    } else {
        data = "hex " + HexBytes(value.data);
    }
    return name + " type " + std::to_string(value.type) + " = " + data;
}

std::string Report::JsonValue(const ValueSnapshot& value) const {
    std::string json =
        "{\"name\":" + Json(Text(value.name)) + ",\"type\":" + std::to_string(value.type);
    if (IsTextType(value.type)) {
        json += ",\"text\":" + Json(TextData(value.data));
    }
    return json + ",\"hex\":" + Json(HexBytes(value.data)) + "}";
}

std::string Report::Counter(const std::optional<ValueSnapshot>& counter) const {
    if (!counter) return json_ ? "null" : "absent";
    return std::to_string(Number(counter->data));
}

void Report::Begin(const std::vector<Unrepresentable>& left) {
    if (json_) {
        out_ << "{\"codePage\":" << codePage_ << ",\"unrepresentable\":[";
        for (std::size_t i = 0; i < left.size(); ++i) {
            out_ << (i == 0 ? "" : ",") << "{\"key\":" << Json(left[i].keyPath);
            if (!left[i].keyName) {
                out_ << ",\"value\":" << Json(left[i].defaultValue ? "@" : left[i].valueName);
            }
            out_ << "}";
        }
        out_ << "]";
        return;
    }
    if (left.empty()) return;
    out_ << "Left out, not representable in code page " << codePage_ << ":\n";
    for (const Unrepresentable& item : left) {
        out_ << "  " << item.keyPath;
        if (!item.keyName) {
            out_ << "  " << (item.defaultValue ? "@" : "\"" + item.valueName + "\"");
        }
        out_ << "\n";
    }
    out_ << "\n";
}

void Report::End() {
    if (json_) out_ << "}\n";
}

void Report::Catalogue(const std::vector<Unrepresentable>& left, const CatalogueAnswer& answer) {
    Begin(left);
    struct Field {
        const char* name;
        std::string ComponentRecord::*text;
    };
    const Field fields[] = {
        {"ComponentKey", &ComponentRecord::ComponentKey},
        {"Folder", &ComponentRecord::Folder},
        {"PathDir", &ComponentRecord::PathDir},
        {"PathFile", &ComponentRecord::PathFile},
        {"RegMethod", nullptr},
        {"UninstallKey", &ComponentRecord::UninstallKey},
        {"LogDir", &ComponentRecord::LogDir},
        {"LogFile", &ComponentRecord::LogFile},
        {"UninstallArgs", &ComponentRecord::UninstallArgs},
        {"CustomDll", &ComponentRecord::CustomDll},
    };
    auto fieldText = [&](const ComponentRecord& record, const Field& field) {
        return field.text == nullptr
                   ? std::to_string(record.RegMethod)
                   : (json_ ? Json(Text(record.*field.text)) : Quoted(record.*field.text));
    };
    if (json_) {
        out_ << ",\"initV7Info\":" << answer.initResult << ",\"catalogue\":[";
        for (std::size_t i = 0; i < answer.entries.size(); ++i) {
            const auto& [key, record] = answer.entries[i];
            out_ << (i == 0 ? "" : ",") << "{\"key\":" << Json(Text(key));
            for (const Field& field : fields) {
                out_ << ",\"" << field.name << "\":" << fieldText(record, field);
            }
            out_ << "}";
        }
        out_ << "],\"skipped\":[";
        for (std::size_t i = 0; i < answer.skipped.size(); ++i) {
            const SkippedSubkey& skipped = answer.skipped[i];
            out_ << (i == 0 ? "" : ",") << "{\"scan\":"
                 << Json(skipped.scanned == ScannedKey::UninstallRoot ? "uninstall" : "product")
                 << ",\"subkey\":" << Json(Text(skipped.name))
                 << ",\"reason\":" << Json(ReasonName(skipped.reason))
                 << ",\"value\":" << Json(skipped.value) << "}";
        }
        out_ << "]";
        End();
        return;
    }
    out_ << "InitV7Info() = " << answer.initResult << "\n\n"
         << "Catalogue, " << answer.entries.size() << " entries in catalogue order:\n";
    for (const auto& [key, record] : answer.entries) {
        out_ << "\n" << Quoted(key) << "\n";
        for (const Field& field : fields) {
            out_ << "  " << field.name
                 << std::string(kFieldWidth - std::string(field.name).size(), ' ')
                 << fieldText(record, field) << "\n";
        }
    }
    out_ << "\nSkipped subkeys, " << answer.skipped.size() << ":\n";
    for (const SkippedSubkey& skipped : answer.skipped) {
        out_ << "  " << ScanName(skipped.scanned) << "  " << Quoted(skipped.name) << "  "
             << ReasonText(skipped) << "\n";
    }
}

void Report::Find(const std::vector<Unrepresentable>& left, const std::string& directory,
                  const FindAnswer& answer) {
    Begin(left);
    if (json_) {
        out_ << ",\"findISUInCatalog\":{\"directory\":" << Json(Text(directory))
             << ",\"result\":" << answer.result << ",\"logFile\":" << Json(Text(answer.logFile))
             << "}";
        End();
        return;
    }
    out_ << "FindISUInCatalog(" << Quoted(directory) << ") = " << answer.result << ", log file "
         << Quoted(answer.logFile) << "\n";
}

void Report::Prune(const std::vector<Unrepresentable>& left, const std::string& directory,
                   const std::string& argumentsToKeep, const PruneAnswer& answer) {
    Begin(left);
    const bool written = answer.counterWrite.has_value();
    if (json_) {
        out_ << ",\"removeAllInCatExcept\":{\"directory\":" << Json(Text(directory))
             << ",\"keep\":" << Json(Text(argumentsToKeep)) << ",\"pruned\":[";
        for (std::size_t i = 0; i < answer.prunedKeys.size(); ++i) {
            out_ << (i == 0 ? "" : ",") << Json(Text(answer.prunedKeys[i]));
        }
        out_ << "],\"deletions\":[";
        for (std::size_t i = 0; i < answer.deletions.size(); ++i) {
            const KeyDeletion& deletion = answer.deletions[i];
            out_ << (i == 0 ? "" : ",") << "{\"key\":" << Json(Text(deletion.path))
                 << ",\"result\":" << deletion.result << ",\"values\":[";
            for (std::size_t v = 0; v < deletion.values.size(); ++v) {
                out_ << (v == 0 ? "" : ",") << JsonValue(deletion.values[v]);
            }
            out_ << "]}";
        }
        out_ << "],\"counter\":{\"before\":" << Counter(answer.counterBefore)
             << ",\"after\":" << Counter(answer.counterAfter)
             << ",\"written\":" << (written ? "true" : "false") << "}}";
        End();
        return;
    }
    out_ << "RemoveAllInCatExcept(" << Quoted(directory) << ", " << Quoted(argumentsToKeep)
         << ") prunes " << answer.prunedKeys.size() << " components:";
    for (const std::string& key : answer.prunedKeys) out_ << " " << Quoted(key);
    out_ << "\n\nDeletes:\n";
    for (const KeyDeletion& deletion : answer.deletions) {
        out_ << "  " << Text(deletion.path);
        if (deletion.result != kErrorSuccess) {
            out_ << "  (fails with error " << deletion.result << ", nothing deleted)";
        }
        out_ << "\n";
        if (deletion.result != kErrorSuccess) continue;
        for (const ValueSnapshot& value : deletion.values)
            out_ << "    " << ValueData(value) << "\n";
    }
    out_ << "\nComponent counter: " << Counter(answer.counterBefore) << " -> "
         << Counter(answer.counterAfter) << (written ? "" : " (not written)") << "\n";
}

void Report::Title(const std::vector<Unrepresentable>& left, const std::string& valueName,
                   const std::string& title, const TitleAnswer& answer) {
    Begin(left);
    if (json_) {
        out_ << ",\"regDBAddToTitles\":{\"valueName\":" << Json(Text(valueName))
             << ",\"title\":" << Json(Text(title)) << ",\"result\":" << answer.result
             << ",\"stored\":" << (answer.stored ? JsonValue(*answer.stored) : "null")
             << ",\"outcome\":" << Json(TitleOutcome(answer)) << "}";
        End();
        return;
    }
    out_ << "RegDBAddToTitles(" << Quoted(valueName) << ", " << Quoted(title)
         << ") = " << answer.result << ", " << TitleOutcome(answer);
    if (answer.stored) out_ << ": " << ValueData(*answer.stored);
    out_ << "\n";
}

}  // namespace instdll::inspect
