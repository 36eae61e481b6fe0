#include "tests/wine/registry_snapshot.h"

#include <vector>

namespace instdll::testing {
namespace {

// `data` is one buffer for the whole walk: a fresh one per value made a snapshot of a large tree
// spend most of its time clearing memory, minutes under emulation.
void AppendKey(HKEY key, const std::string& path, std::vector<BYTE>* data, std::string* out) {
    *out += "[" + path + "]\n";
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        DWORD dataSize = static_cast<DWORD>(data->size());
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data->data(), &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        *out += "  " + std::string(name, nameSize) + " type " + std::to_string(type) + " = " +
                std::string(reinterpret_cast<const char*>(data->data()), dataSize) + "\n";
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
