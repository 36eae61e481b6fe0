#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "registry/registry_access.h"
#include "text/ansi_text.h"

namespace instdll {

enum class RegOperation {
    OpenKeyEx,
    CreateKeyEx,
    CreateKey,
    EnumKey,
    EnumValue,
    QueryValueEx,
    SetValueEx,
    DeleteKey,
    DeleteValue,
    CloseKey,
};
inline constexpr std::size_t kRegOperationCount = 10;

// A registry in memory that answers as Windows does: names compared without regard to ASCII
// letter case, subkeys enumerated in upper-cased name order, values in creation order, 234 for
// a name or data that do not fit, 259 past the last item. Tests can make any operation fail and
// can count open handles and calls. Key paths are split at backslashes between the characters
// of `codePage` when one is given, else at every backslash byte.
class MemoryRegistry final : public RegistryAccess {
public:
    explicit MemoryRegistry(const AnsiCodePage* codePage = nullptr);
    ~MemoryRegistry();

    long RegOpenKeyExA(RegHandle key, const char* subKey, std::uint32_t options,
                       std::uint32_t access, RegHandle* result) override;
    long RegCreateKeyExA(RegHandle key, const char* subKey, const char* keyClass,
                         std::uint32_t options, std::uint32_t access, RegHandle* result,
                         std::uint32_t* disposition) override;
    long RegCreateKeyA(RegHandle key, const char* subKey, RegHandle* result) override;
    long RegEnumKeyA(RegHandle key, std::uint32_t index, char* name,
                     std::uint32_t nameSize) override;
    long RegEnumValueA(RegHandle key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                       std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override;
    long RegQueryValueExA(RegHandle key, const char* valueName, std::uint32_t* type,
                          std::uint8_t* data, std::uint32_t* dataSize) override;
    long RegSetValueExA(RegHandle key, const char* valueName, std::uint32_t type,
                        const std::uint8_t* data, std::uint32_t dataSize) override;
    long RegDeleteKeyA(RegHandle key, const char* subKey) override;
    long RegDeleteValueA(RegHandle key, const char* valueName) override;
    long RegCloseKey(RegHandle key) override;

    // From now on, after `successesFirst` further successful-or-not calls of `operation`, every
    // call of it returns `error` without doing anything.
    void FailOperation(RegOperation operation, long error, unsigned successesFirst = 0);
    // As FailOperation, but the call throws std::bad_alloc, as an allocation inside the caller
    // would: the seam for out-of-memory paths.
    void RunOutOfMemory(RegOperation operation, unsigned successesFirst = 0);
    void ClearFailures();

    std::size_t OpenHandleCount() const { return handles_.size(); }
    std::size_t CallCount(RegOperation operation) const {
        return callCounts_[static_cast<std::size_t>(operation)];
    }

    struct Key;

private:
    struct Failure {
        long error;
        unsigned callsLeftBeforeFailing;
        bool outOfMemory;
    };

    std::optional<long> Intercept(RegOperation operation);
    Key* Resolve(RegHandle handle, long* error) const;
    RegHandle AddHandle(std::shared_ptr<Key> key);

    const AnsiCodePage* codePage_;
    std::shared_ptr<Key> localMachine_;
    std::shared_ptr<Key> currentUser_;
    std::map<RegHandle, std::shared_ptr<Key>> handles_;
    RegHandle nextHandle_ = 0x1000;
    std::array<std::optional<Failure>, kRegOperationCount> failures_{};
    std::array<std::size_t, kRegOperationCount> callCounts_{};
};

}  // namespace instdll
