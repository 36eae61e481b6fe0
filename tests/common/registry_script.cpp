#include "tests/common/registry_script.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "registry/registry_key.h"

namespace instdll::testing {
namespace {

class Transcript {
public:
    void Add(const std::string& call, long result, const std::string& outputs = "") {
        lines_.push_back(call + " -> " + std::to_string(result) +
                         (outputs.empty() ? "" : " " + outputs));
    }
    void Append(std::vector<std::string> lines) {
        lines_.insert(lines_.end(), lines.begin(), lines.end());
    }
    std::vector<std::string> Take() { return std::move(lines_); }

private:
    std::vector<std::string> lines_;
};

std::string Hex(const std::uint8_t* data, std::uint32_t size) {
    std::string text;
    for (std::uint32_t i = 0; i < size; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", data[i]);
        text += hex;
    }
    return text;
}

std::string Shown(const std::string& name) {
    return name.size() > 20 ? "<" + std::to_string(name.size()) + " chars>" : "'" + name + "'";
}

std::vector<std::uint8_t> Text(const std::string& text, bool withZero) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    if (withZero) bytes.push_back(0);
    return bytes;
}

struct ScriptValue {
    std::string name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
};

const std::vector<ScriptValue>& Values() {
    static const std::vector<ScriptValue> values = {
        {"second", kRegSz, Text("two", true)},
        {"first", kRegDword, {7, 0, 0, 0}},
        {"", kRegSz, Text("default", true)},
        {"binary", kRegBinary, {1, 2, 3}},
        {"fits256", kRegSz, Text(std::string(255, 'x'), true)},
        {"over256", kRegSz, Text(std::string(256, 'y'), true)},
        {"emptyBinary", kRegBinary, {}},
        {"shortDword", kRegBinary, {1, 0}},
        {std::string(255, 'n'), kRegSz, Text("long name", true)},
    };
    return values;
}

// Names avoid the characters between 'Z' and 'a' ('_' among them): Windows orders subkeys by
// upper-cased names and Wine by lower-cased ones, so those would sort differently.
void CreateKeys(RegistryAccess& registry, RegHandle scratch, Transcript& out) {
    for (const std::string name : {"beta", "Alpha", "1digit", "gamma", "ALPHA", "Zk:One", "zk:two",
                                   "Alpha\\Inner", "Alpha\\\\Double\\"}) {
        RegistryKey key(registry);
        std::uint32_t disposition = 0;
        const long result = registry.RegCreateKeyExA(scratch, name.c_str(), "", 0, kKeyAllAccess,
                                                     key.put(), &disposition);
        out.Add("create " + Shown(name), result, "disposition " + std::to_string(disposition));
    }
    const std::string longName(255, 'L');
    RegistryKey key(registry);
    out.Add("createKey " + Shown(longName),
            registry.RegCreateKeyA(scratch, longName.c_str(), key.put()));
}

void EnumerateKeys(RegistryAccess& registry, RegHandle scratch, Transcript& out) {
    for (std::uint32_t index = 0;; ++index) {
        char name[256] = {};
        const long result = registry.RegEnumKeyA(scratch, index, name, sizeof name);
        out.Add("enumKey " + std::to_string(index), result, result == 0 ? Shown(name) : "");
        if (result != 0) break;
    }
    char small[4] = {};
    out.Add("enumKey 0 into 4 bytes", registry.RegEnumKeyA(scratch, 0, small, sizeof small));
}

void SetValues(RegistryAccess& registry, RegHandle key, Transcript& out) {
    for (const auto& value : Values()) {
        out.Add("set " + Shown(value.name),
                registry.RegSetValueExA(key, value.name.c_str(), value.type, value.data.data(),
                                        static_cast<std::uint32_t>(value.data.size())));
    }
}

void QueryValues(RegistryAccess& registry, RegHandle key, Transcript& out) {
    std::vector<std::string> names;
    for (const auto& value : Values()) names.push_back(value.name);
    names.push_back("SECOND");
    names.push_back("missing");
    for (const auto& name : names) {
        std::uint8_t data[256];
        std::uint32_t size = sizeof data;
        std::uint32_t type = 0;
        const long result = registry.RegQueryValueExA(key, name.c_str(), &type, data, &size);
        out.Add("query " + Shown(name), result,
                result == 0 ? "type " + std::to_string(type) + " data " + Hex(data, size)
                : result == kErrorMoreData ? "needs " + std::to_string(size)
                                           : "");
        out.Add("exists " + Shown(name),
                registry.RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr));
    }
    std::uint8_t four[4];
    std::uint32_t size = sizeof four;
    out.Add("query 'second' into 4 bytes",
            registry.RegQueryValueExA(key, "second", nullptr, four, &size));
    size = 2;
    out.Add("query 'first' into 2 bytes",
            registry.RegQueryValueExA(key, "first", nullptr, four, &size),
            "needs " + std::to_string(size));
}

void EnumerateValues(RegistryAccess& registry, RegHandle key, Transcript& out) {
    std::vector<std::string> entries;
    long last = 0;
    std::uint32_t index = 0;
    for (;; ++index) {
        char name[256];
        std::uint8_t data[256];
        std::uint32_t nameSize = sizeof name;
        std::uint32_t dataSize = sizeof data;
        std::uint32_t type = 0;
        last = registry.RegEnumValueA(key, index, name, &nameSize, &type, data, &dataSize);
        if (last == kErrorNoMoreItems) break;
        entries.push_back("enumValue -> " + std::to_string(last) +
                          (last == 0 ? " " + Shown(name) + " length " + std::to_string(nameSize) +
                                           " type " + std::to_string(type) + " data " +
                                           Hex(data, dataSize)
                                     : ""));
    }
    std::sort(entries.begin(), entries.end());
    out.Append(entries);
    out.Add("enumValue past the end, index " + std::to_string(index), last);

    char smallName[4];
    std::uint32_t nameSize = sizeof smallName;
    std::uint32_t dataSize = 0;
    long smallResult = 0;
    for (std::uint32_t i = 0; i < index; ++i) {
        nameSize = sizeof smallName;
        dataSize = 0;
        const long result =
            registry.RegEnumValueA(key, i, smallName, &nameSize, nullptr, nullptr, &dataSize);
        if (result != 0) smallResult = result;
    }
    out.Add("enumValue into a 4-char name buffer, some entry", smallResult);
}

void DeleteThings(RegistryAccess& registry, RegHandle scratch, RegHandle values, Transcript& out) {
    out.Add("deleteValue 'binary'", registry.RegDeleteValueA(values, "binary"));
    out.Add("deleteValue 'binary' again", registry.RegDeleteValueA(values, "binary"));
    out.Add("deleteValue default", registry.RegDeleteValueA(values, ""));
    out.Add("deleteKey 'alpha' with subkeys", registry.RegDeleteKeyA(scratch, "alpha"));
    out.Add("deleteKey 'ALPHA\\inner\\'", registry.RegDeleteKeyA(scratch, "ALPHA\\inner"));
    out.Add("deleteKey 'missing'", registry.RegDeleteKeyA(scratch, "missing"));
    out.Add("deleteKey 'BETA'", registry.RegDeleteKeyA(scratch, "BETA"));
    out.Add("deleteKey 'beta' again", registry.RegDeleteKeyA(scratch, "beta"));
    RegistryKey reopened(registry);
    out.Add("open 'Beta' after delete",
            registry.RegOpenKeyExA(scratch, "Beta", 0, kKeyAllAccess, reopened.put()));
}

void DeleteTree(RegistryAccess& registry, RegHandle parent, const std::string& path) {
    RegistryKey key(registry);
    if (registry.RegOpenKeyExA(parent, path.c_str(), 0, kKeyAllAccess, key.put()) != 0) return;
    for (;;) {
        char name[256];
        if (registry.RegEnumKeyA(key.get(), 0, name, sizeof name) != 0) break;
        DeleteTree(registry, key.get(), name);
    }
    key.reset();
    registry.RegDeleteKeyA(parent, path.c_str());
}

}  // namespace

std::vector<std::string> RunRegistryScript(RegistryAccess& registry) {
    DeleteTree(registry, kHkeyCurrentUser, kScriptRoot);
    Transcript out;
    {
        RegistryKey missing(registry);
        out.Add("open missing scratch", registry.RegOpenKeyExA(kHkeyCurrentUser, kScriptRoot, 0,
                                                               kKeyAllAccess, missing.put()));
    }
    RegistryKey scratch(registry);
    std::uint32_t disposition = 0;
    out.Add("create scratch",
            registry.RegCreateKeyExA(kHkeyCurrentUser, kScriptRoot, "", 0, kKeyAllAccess,
                                     scratch.put(), &disposition),
            "disposition " + std::to_string(disposition));
    CreateKeys(registry, scratch.get(), out);
    EnumerateKeys(registry, scratch.get(), out);

    RegistryKey values(registry);
    out.Add("open 'zk:ONE'",
            registry.RegOpenKeyExA(scratch.get(), "zk:ONE", 0, kKeyAllAccess, values.put()));
    SetValues(registry, values.get(), out);
    QueryValues(registry, values.get(), out);
    EnumerateValues(registry, values.get(), out);
    DeleteThings(registry, scratch.get(), values.get(), out);

    values.reset();
    scratch.reset();
    DeleteTree(registry, kHkeyCurrentUser, kScriptRoot);
    return out.Take();
}

}  // namespace instdll::testing
