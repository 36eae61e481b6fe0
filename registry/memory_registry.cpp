#include "registry/memory_registry.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "registry/key_path.h"

namespace instdll {
namespace {

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Windows orders subkeys by their upper-cased names.
struct FoldedLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) {
                                                return FoldAscii(static_cast<unsigned char>(x)) <
                                                       FoldAscii(static_cast<unsigned char>(y));
                                            });
    }
};

bool SameName(const std::string& a, const std::string& b) {
    return !FoldedLess{}(a, b) && !FoldedLess{}(b, a);
}

// Windows splits an ANSI path after converting it to UTF-16, so in a double-byte code page a
// trail byte of 0x5C separates nothing.
std::vector<std::string> KeyNames(const char* path, const AnsiCodePage* codePage) {
    const std::string_view text(path == nullptr ? "" : path);
    if (codePage == nullptr) {
        const auto parts = SplitKeyPath(text);
        return {parts.begin(), parts.end()};
    }
    std::vector<std::string> names;
    std::size_t start = 0;
    for (std::size_t at = 0;; at += CharLengthAt(text, at, *codePage)) {
        if (at < text.size() && text[at] != '\\') continue;
        if (at > start) names.emplace_back(text.substr(start, at - start));
        if (at == text.size()) return names;
        start = at + 1;
    }
}

std::string ValueName(const char* name) { return name == nullptr ? std::string() : name; }

}  // namespace

struct MemoryRegistry::Key {
    struct Value {
        std::string name;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    };

    std::string name;
    Key* parent = nullptr;
    bool deleted = false;
    std::vector<Value> values;
    std::map<std::string, std::shared_ptr<Key>, FoldedLess> subkeys;
    std::map<std::string, std::shared_ptr<Key>, FoldedLess>::const_iterator cursor;
    std::size_t cursorIndex = 0;
    bool cursorValid = false;

    Value* FindValue(const std::string& valueName) {
        auto it = std::find_if(values.begin(), values.end(),
                               [&](const Value& v) { return SameName(v.name, valueName); });
        return it == values.end() ? nullptr : &*it;
    }

    std::shared_ptr<Key> Child(const std::string& childName) const {
        auto it = subkeys.find(childName);
        return it == subkeys.end() ? nullptr : it->second;
    }

    // Enumeration asks for index 0, 1, 2, ...; resuming from the last position keeps each step
    // constant-time, as on Windows, instead of walking the map from its start.
    const std::string& SubkeyNameAt(std::size_t index) {
        if (!cursorValid || index < cursorIndex) {
            cursor = subkeys.begin();
            cursorIndex = 0;
            cursorValid = true;
        }
        cursor = std::next(cursor, static_cast<std::ptrdiff_t>(index - cursorIndex));
        cursorIndex = index;
        return cursor->second->name;
    }
    void SubkeysChanged() { cursorValid = false; }

    void MarkDeleted() {
        deleted = true;
        for (auto& [childName, child] : subkeys) child->MarkDeleted();
    }
};

MemoryRegistry::MemoryRegistry(const AnsiCodePage* codePage)
    : codePage_(codePage),
      localMachine_(std::make_shared<Key>()),
      currentUser_(std::make_shared<Key>()) {}

MemoryRegistry::~MemoryRegistry() = default;

std::optional<long> MemoryRegistry::Intercept(RegOperation operation) {
    const auto index = static_cast<std::size_t>(operation);
    ++callCounts_[index];
    auto& failure = failures_[index];
    if (!failure) return std::nullopt;
    if (failure->callsLeftBeforeFailing > 0) {
        --failure->callsLeftBeforeFailing;
        return std::nullopt;
    }
    if (failure->outOfMemory) throw std::bad_alloc();
    return failure->error;
}

void MemoryRegistry::FailOperation(RegOperation operation, long error, unsigned successesFirst) {
    failures_[static_cast<std::size_t>(operation)] = Failure{error, successesFirst, false};
}

void MemoryRegistry::RunOutOfMemory(RegOperation operation, unsigned successesFirst) {
    failures_[static_cast<std::size_t>(operation)] = Failure{0, successesFirst, true};
}

void MemoryRegistry::ClearFailures() { failures_.fill(std::nullopt); }

MemoryRegistry::Key* MemoryRegistry::Resolve(RegHandle handle, long* error) const {
    Key* key = nullptr;
    if (handle == kHkeyLocalMachine) {
        key = localMachine_.get();
    } else if (handle == kHkeyCurrentUser) {
        key = currentUser_.get();
    } else if (auto it = handles_.find(handle); it != handles_.end()) {
        key = it->second.get();
    }
    if (key == nullptr) {
        *error = kErrorInvalidHandle;
    } else if (key->deleted) {
        *error = kErrorKeyDeleted;
        key = nullptr;
    }
    return key;
}

RegHandle MemoryRegistry::AddHandle(std::shared_ptr<Key> key) {
    const RegHandle handle = nextHandle_;
    nextHandle_ += 4;
    handles_.emplace(handle, std::move(key));
    return handle;
}

long MemoryRegistry::RegOpenKeyExA(RegHandle key, const char* subKey, std::uint32_t, std::uint32_t,
                                   RegHandle* result) {
    if (auto failure = Intercept(RegOperation::OpenKeyEx)) return *failure;
    if (result == nullptr) return kErrorInvalidParameter;
    long error = kErrorSuccess;
    Key* base = Resolve(key, &error);
    if (base == nullptr) return error;
    std::shared_ptr<Key> found;
    for (const auto& part : KeyNames(subKey, codePage_)) {
        found = (found ? found.get() : base)->Child(part);
        if (!found) return kErrorFileNotFound;
    }
    if (!found) {
        // An empty path opens the same key again, under a handle of its own.
        found = base == localMachine_.get()  ? localMachine_
                : base == currentUser_.get() ? currentUser_
                                             : handles_.at(key);
    }
    *result = AddHandle(found);
    return kErrorSuccess;
}

long MemoryRegistry::RegCreateKeyExA(RegHandle key, const char* subKey, const char*, std::uint32_t,
                                     std::uint32_t, RegHandle* result, std::uint32_t* disposition) {
    if (auto failure = Intercept(RegOperation::CreateKeyEx)) return *failure;
    if (result == nullptr) return kErrorInvalidParameter;
    long error = kErrorSuccess;
    Key* base = Resolve(key, &error);
    if (base == nullptr) return error;
    std::shared_ptr<Key> current = base == localMachine_.get()  ? localMachine_
                                   : base == currentUser_.get() ? currentUser_
                                                                : handles_.at(key);
    bool created = false;
    for (const auto& part : KeyNames(subKey, codePage_)) {
        auto child = current->Child(part);
        if (!child) {
            child = std::make_shared<Key>();
            child->name = part;
            child->parent = current.get();
            current->subkeys.emplace(part, child);
            current->SubkeysChanged();
            created = true;
        }
        current = child;
    }
    if (disposition != nullptr) {
        *disposition = created ? kRegCreatedNewKey : kRegOpenedExistingKey;
    }
    *result = AddHandle(current);
    return kErrorSuccess;
}

long MemoryRegistry::RegCreateKeyA(RegHandle key, const char* subKey, RegHandle* result) {
    if (auto failure = Intercept(RegOperation::CreateKey)) return *failure;
    if (result == nullptr) return kErrorInvalidParameter;
    if (subKey == nullptr || *subKey == '\0') {
        // Win32 hands back the caller's own handle for an empty path.
        long error = kErrorSuccess;
        if (Resolve(key, &error) == nullptr) return error;
        *result = key;
        return kErrorSuccess;
    }
    --callCounts_[static_cast<std::size_t>(RegOperation::CreateKeyEx)];
    std::uint32_t disposition = 0;
    return RegCreateKeyExA(key, subKey, "", 0, kKeyAllAccess, result, &disposition);
}

long MemoryRegistry::RegEnumKeyA(RegHandle key, std::uint32_t index, char* name,
                                 std::uint32_t nameSize) {
    if (auto failure = Intercept(RegOperation::EnumKey)) return *failure;
    long error = kErrorSuccess;
    Key* base = Resolve(key, &error);
    if (base == nullptr) return error;
    if (index >= base->subkeys.size()) return kErrorNoMoreItems;
    const std::string& childName = base->SubkeyNameAt(index);
    if (name == nullptr) return kErrorInvalidParameter;
    if (childName.size() + 1 > nameSize) return kErrorMoreData;
    std::memcpy(name, childName.c_str(), childName.size() + 1);
    return kErrorSuccess;
}

long MemoryRegistry::RegEnumValueA(RegHandle key, std::uint32_t index, char* name,
                                   std::uint32_t* nameSize, std::uint32_t* type, std::uint8_t* data,
                                   std::uint32_t* dataSize) {
    if (auto failure = Intercept(RegOperation::EnumValue)) return *failure;
    long error = kErrorSuccess;
    Key* base = Resolve(key, &error);
    if (base == nullptr) return error;
    if (name == nullptr || nameSize == nullptr) return kErrorInvalidParameter;
    if (index >= base->values.size()) return kErrorNoMoreItems;
    const Key::Value& value = base->values[index];
    if (value.name.size() + 1 > *nameSize) return kErrorMoreData;
    if (data != nullptr && dataSize == nullptr) return kErrorInvalidParameter;
    const auto size = static_cast<std::uint32_t>(value.data.size());
    if (data != nullptr && size > *dataSize) {
        *dataSize = size;
        return kErrorMoreData;
    }
    std::memcpy(name, value.name.c_str(), value.name.size() + 1);
    *nameSize = static_cast<std::uint32_t>(value.name.size());
    if (type != nullptr) *type = value.type;
    if (data != nullptr && size > 0) std::memcpy(data, value.data.data(), size);
    if (dataSize != nullptr) *dataSize = size;
    return kErrorSuccess;
}

long MemoryRegistry::RegQueryValueExA(RegHandle key, const char* valueName, std::uint32_t* type,
                                      std::uint8_t* data, std::uint32_t* dataSize) {
    if (auto failure = Intercept(RegOperation::QueryValueEx)) return *failure;
    long error = kErrorSuccess;
    Key* base = Resolve(key, &error);
    if (base == nullptr) return error;
    if (data != nullptr && dataSize == nullptr) return kErrorInvalidParameter;
    const Key::Value* value = base->FindValue(ValueName(valueName));
    if (value == nullptr) return kErrorFileNotFound;
    const auto size = static_cast<std::uint32_t>(value->data.size());
    if (data != nullptr && size > *dataSize) {
        *dataSize = size;
        return kErrorMoreData;
    }
    if (type != nullptr) *type = value->type;
    if (data != nullptr && size > 0) std::memcpy(data, value->data.data(), size);
    if (dataSize != nullptr) *dataSize = size;
    return kErrorSuccess;
}

long MemoryRegistry::RegSetValueExA(RegHandle key, const char* valueName, std::uint32_t type,
                                    const std::uint8_t* data, std::uint32_t dataSize) {
    if (auto failure = Intercept(RegOperation::SetValueEx)) return *failure;
    long error = kErrorSuccess;
    Key* base = Resolve(key, &error);
    if (base == nullptr) return error;
    if (data == nullptr && dataSize > 0) return kErrorInvalidParameter;
    std::vector<std::uint8_t> bytes(data, data + (data == nullptr ? 0 : dataSize));
    if (Key::Value* existing = base->FindValue(ValueName(valueName))) {
        existing->type = type;
        existing->data = std::move(bytes);
    } else {
        base->values.push_back({ValueName(valueName), type, std::move(bytes)});
    }
    return kErrorSuccess;
}

long MemoryRegistry::RegDeleteKeyA(RegHandle key, const char* subKey) {
    if (auto failure = Intercept(RegOperation::DeleteKey)) return *failure;
    if (subKey == nullptr) return kErrorInvalidParameter;
    long error = kErrorSuccess;
    Key* target = Resolve(key, &error);
    if (target == nullptr) return error;
    for (const auto& part : KeyNames(subKey, codePage_)) {
        auto child = target->Child(part);
        if (!child) return kErrorFileNotFound;
        target = child.get();
    }
    if (target->parent == nullptr) return kErrorAccessDenied;
    if (!target->subkeys.empty()) return kErrorAccessDenied;
    Key* parent = target->parent;
    auto owner = parent->subkeys.find(target->name);
    owner->second->MarkDeleted();
    parent->subkeys.erase(owner);
    parent->SubkeysChanged();
    return kErrorSuccess;
}

long MemoryRegistry::RegDeleteValueA(RegHandle key, const char* valueName) {
    if (auto failure = Intercept(RegOperation::DeleteValue)) return *failure;
    long error = kErrorSuccess;
    Key* base = Resolve(key, &error);
    if (base == nullptr) return error;
    const std::string wanted = ValueName(valueName);
    auto it = std::find_if(base->values.begin(), base->values.end(),
                           [&](const Key::Value& v) { return SameName(v.name, wanted); });
    if (it == base->values.end()) return kErrorFileNotFound;
    base->values.erase(it);
    return kErrorSuccess;
}

long MemoryRegistry::RegCloseKey(RegHandle key) {
    if (auto failure = Intercept(RegOperation::CloseKey)) return *failure;
    if (key == kHkeyLocalMachine || key == kHkeyCurrentUser) return kErrorSuccess;
    return handles_.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace instdll
