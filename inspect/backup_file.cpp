#include "inspect/backup_file.h"

#include "inspect/registry_import.h"

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
    if (answer.counterWrite && answer.counterWrite->before) {
        keys.push_back(
            FileKey(answer.counterWrite->keyPath, {*answer.counterWrite->before}, converter));
    }
    return RegFileBytes(keys);
}

}  // namespace instdll::inspect
