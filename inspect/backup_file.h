#pragma once

#include <string>
#include <variant>

#include "inspect/code_page_converter.h"
#include "inspect/questions.h"
#include "regfile/reg_file_writer.h"

namespace instdll::inspect {

// A version 5.00 export in UTF-16LE with its byte order mark that, imported with regedit or
// `reg import`, puts back every key the pruning deleted, with its values, and the component
// counter as it was; or the name it cannot write.
std::variant<std::string, Unwritable> BackupRegFile(const PruneAnswer& answer,
                                                    const CodePageConverter& converter);

}  // namespace instdll::inspect
