#pragma once

#include <optional>
#include <string>
#include <variant>

#include "inspect/code_page_converter.h"
#include "inspect/questions.h"
#include "inspect/run_log.h"
#include "regfile/reg_file_writer.h"

namespace instdll::inspect {

// A version 5.00 export in UTF-16LE with its byte order mark that, imported with regedit or
// `reg import`, puts back every key the pruning deleted, with its values; or the name it cannot
// write. It leaves the component counter alone: another setup may have changed it by the time
// it is imported.
std::variant<std::string, Unwritable> BackupRegFile(const PruneAnswer& answer,
                                                    const CodePageConverter& converter);

// How far the pruning lowers the counter, to raise it by once the file is imported; nothing
// when it leaves the counter as it is.
std::optional<CounterRaise> BackupCounterRaise(const PruneAnswer& answer,
                                               const CodePageConverter& converter);

}  // namespace instdll::inspect
