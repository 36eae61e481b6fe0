#include "tests/wine/registry_snapshot.h"

#include <vector>

namespace instdll::testing {
namespace {

// `data` is one buffer for the whole walk: a fresh one per value made a snapshot of a large tree
// spend most of its time clearing memory, minutes under emulation.
void AppendKey(HKEY key, const std::string& path, std::vector<BYTE>* data, std::string* out) {
    *out += "[" + path + "]\n";
    for (DWORD index = 0;;) {
        char name[16384];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        DWORD dataSize = static_cast<DWORD>(data->size());
        const LSTATUS status =
            RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data->data(), &dataSize);
        if (status == ERROR_MORE_DATA && dataSize > data->size()) {
            data->resize(dataSize);
            continue;
        }
        if (status == ERROR_NO_MORE_ITEMS) break;
        // Never dropped: a value the walk cannot read still differs from none.
        if (status != ERROR_SUCCESS) {
            *out += "  value " + std::to_string(index) + " unreadable: error " +
                    std::to_string(status) + "\n";
            break;
        }
        *out += "  " + std::string(name, nameSize) + " type " + std::to_string(type) + " = " +
                std::string(reinterpret_cast<const char*>(data->data()), dataSize) + "\n";
        ++index;
    }
    for (DWORD index = 0;; ++index) {
        char name[256];
        if (RegEnumKeyA(key, index, name, sizeof name) != ERROR_SUCCESS) break;
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            AppendKey(child, path + "\\" + name, data, out);
            RegCloseKey(child);
        }
    }
}

}  // namespace

std::string SnapshotTree(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    std::vector<BYTE> data(1 << 16);
    std::string out;
    AppendKey(key, path, &data, &out);
    RegCloseKey(key);
    return out;
}

void DeleteTree(HKEY root, const std::string& path) {
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

}  // namespace instdll::testing
