#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/code_page_converter.h"
#include "regfile/reg_file_sink.h"
#include "regfile/reg_file_writer.h"
#include "registry/memory_registry.h"
#include "registry/registry_key.h"
#include "registry/root_names.h"
#include "text/ansi_text.h"

namespace instdll::inspect {

// A name the code page cannot hold; the key or value it names is left out of the registry.
struct Unrepresentable {
    std::string keyPath;    // UTF-8, as the source wrote it
    std::string valueName;  // UTF-8; empty with `keyName` set when the key's own name failed
    bool keyName = false;
    bool defaultValue = false;
};

// Takes registry contents key by key, from an export file or a live registry, into the
// in-memory registry, keeping only what the library reads: the product key's subkeys with their
// values, the names of the uninstall list's subkeys and the values of the family's ones, the
// title list, and for each kept component whether it has subkeys of its own (which keeps it
// from being deleted). Everything else is dropped as it arrives, so memory grows with those
// keys and not with the source. Names and text reach the registry in the ANSI code page. Keys
// keep the names the machine stores them under, WOW6432Node included: a RegistryView finds the
// ones a DLL sees.
class RegistryImport final : public RegFileSink {
public:
    RegistryImport(MemoryRegistry& registry, const CodePageConverter& converter,
                   const AnsiCodePage& codePage)
        : registry_(registry), converter_(converter), codePage_(codePage), current_(registry) {}

    // `path` starts with its root ("HKEY_LOCAL_MACHINE" or "HKLM", ...); other roots are
    // accepted and dropped.
    void OpenKey(std::u16string_view path) override;
    void DeleteKey(std::u16string_view path) override;
    void SetValue(std::u16string_view name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data, TextEncoding encoding) override;
    void DeleteValue(std::u16string_view name) override;

    const std::vector<Unrepresentable>& unrepresentable() const { return unrepresentable_; }
    // Whether any key under HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node arrived: the source is a
    // 64-bit machine's native view.
    bool sawWow6432Node() const { return sawWow6432Node_; }

private:
    bool IsFamilyName(std::u16string_view name) const;
    bool ToAnsiPath(const std::vector<std::u16string_view>& parts, std::string& path);
    void NoteUnrepresentableKey(std::u16string_view path);
    void NoteUnrepresentableValue(std::u16string_view name);

    MemoryRegistry& registry_;
    const CodePageConverter& converter_;
    const AnsiCodePage& codePage_;
    RegistryKey current_;  // open while the current key keeps its values
    std::u16string currentPath_;
    std::vector<Unrepresentable> unrepresentable_;
    bool sawWow6432Node_ = false;
};

}  // namespace instdll::inspect
