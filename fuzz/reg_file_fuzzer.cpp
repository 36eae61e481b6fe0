// The .reg reader on any bytes, in each supported code page, then the catalogue and a pruning
// with its backup on whatever it imported. Checks that a failure names a line of the input,
// that no handle leaks, and that the backup of a pruning, unless refused, reads back as an export.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <variant>

#include "fuzz/text_input.h"
#include "inspect/backup_file.h"
#include "inspect/questions.h"
#include "inspect/registry_import.h"
#include "regfile/reg_file_reader.h"
#include "registry/memory_registry.h"
#include "text/host_code_page.h"

namespace {

using namespace instdll;
using namespace instdll::inspect;

using fuzzing::kCodePages;
using fuzzing::Require;

std::size_t LineCount(const std::string& bytes) {
    std::size_t lines = 1;
    for (char c : bytes) lines += c == '\n' ? 1 : 0;
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned codePage = kCodePages[data[0] % 3];
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto converter = MakeCodePageConverter(codePage);
    const HostCodePage ansi(codePage);
    MemoryRegistry registry;
    bool sixtyFourBitWindows = false;
    {
        // The import holds the key it is filling until it goes.
        RegistryImport import(registry, *converter, ansi);
        std::istringstream in(bytes);
        if (const std::optional<ReadError> error = ReadRegFile(in, *converter, import)) {
            Require(error->line >= 1 && error->line <= LineCount(bytes));
            Require(!error->expected.empty());
        }
        sixtyFourBitWindows = import.sawWow6432Node();
    }
    const RegistryView view = RegistryView::For(32, sixtyFourBitWindows);
    // Pruning where the first logged component lies exercises the deletes and the counter.
    std::string directory;
    for (const auto& [key, record] : AskCatalogue(registry, view, ansi).entries) {
        if (directory.empty()) directory = record.LogDir;
    }
    const PruneAnswer answer = AskPrune(registry, view, ansi, directory, "X");
    Require(registry.OpenHandleCount() == 0);
    const auto file = BackupRegFile(answer, *converter);
    if (const auto* written = std::get_if<std::string>(&file)) {
        RegistryImport restore(registry, *converter, ansi);
        std::istringstream backup(*written);
        Require(!ReadRegFile(backup, *converter, restore));
    }
    return 0;
}
