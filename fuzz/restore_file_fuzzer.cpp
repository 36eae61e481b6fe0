// A run log of any bytes, in each supported code page, read for a restore: whatever .reg file
// the restore writes reads back as exactly the keys and values it was written from, so that no
// name or data in a log can make an importer set something else.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <variant>

#include "fuzz/text_input.h"
#include "inspect/run_log.h"
#include "regfile/reg_file_keys.h"
#include "regfile/reg_file_reader.h"
#include "text/host_code_page.h"

namespace {

using namespace instdll;
using namespace instdll::inspect;

using fuzzing::kCodePages;
using fuzzing::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned codePage = kCodePages[data[0] % 3];
    const auto converter = MakeCodePageConverter(codePage);
    const HostCodePage ansi(codePage);
    std::istringstream log(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    const auto read = ReadRunLog(log, RestoreFilter{}, *converter, ansi);
    const auto* plan = std::get_if<RestorePlan>(&read);
    if (plan == nullptr) return 0;
    const auto file = RegFileBytes(plan->keys);
    const auto* bytes = std::get_if<std::string>(&file);
    if (bytes == nullptr) return 0;
    RegFileKeys readBack;
    std::istringstream in(*bytes);
    Require(!ReadRegFile(in, *converter, readBack));
    Require(!readBack.deletes());
    Require(readBack.keys() == plan->keys);
    return 0;
}
