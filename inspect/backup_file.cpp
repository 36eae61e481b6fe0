#include "inspect/backup_file.h"

#include "inspect/registry_import.h"
#include "inspect/shown_text.h"

namespace instdll::inspect {
namespace {

// What the source held was ANSI converted from Unicode, so it converts back; a byte that does
// not is written as the character of the same number rather than dropped.
std::u16string Unicode(const std::string& ansi, const CodePageConverter& converter) {
    if (std::optional<std::u16string> text = converter.ToUnicode(ansi)) return *text;
    return std::u16string(ansi.begin(), ansi.end());
}

RegFileValue FileValue(const ValueSnapshot& value, const CodePageConverter& converter) {
    RegFileValue converted{Unicode(value.name, converter), value.type, value.data};
    if (IsTextType(value.type)) {
        converted.data.clear();
        AppendUtf16Le(converted.data,
                      Unicode(std::string(value.data.begin(), value.data.end()), converter));
    }
    return converted;
}

RegFileKey FileKey(const std::string& path, const std::vector<ValueSnapshot>& values,
                   const CodePageConverter& converter) {
    RegFileKey key{Unicode(path, converter), {}};
    for (const ValueSnapshot& value : values) key.values.push_back(FileValue(value, converter));
    return key;
}

}  // namespace

std::variant<std::string, Unwritable> BackupRegFile(const PruneAnswer& answer,
                                                    const CodePageConverter& converter) {
    std::vector<RegFileKey> keys;
    for (const KeyDeletion& deletion : answer.deletions) {
        if (deletion.result == 0)
            keys.push_back(FileKey(deletion.path, deletion.values, converter));
    }
    return RegFileBytes(keys);
}

std::optional<CounterRaise> BackupCounterRaise(const PruneAnswer& answer,
                                               const CodePageConverter& converter) {
    if (!answer.counterWrite || !answer.counterWrite->before) return std::nullopt;
    const std::int64_t by = std::int64_t{Number(answer.counterWrite->before->data)} -
                            Number(answer.counterWrite->after.data);
    if (by <= 0) return std::nullopt;
    return CounterRaise{Unicode(answer.counterWrite->keyPath, converter),
                        static_cast<std::uint64_t>(by)};
}

}  // namespace instdll::inspect
