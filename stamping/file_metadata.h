#pragma once

#include <string>

#include "stamping/stamp_files.h"

namespace instdll {

// Gives `to` what `from` carries besides its bytes and attributes and a move would lose: its
// creation time, alternate data streams and security descriptor (owner, group and DACL; the
// DACL alone where only a privileged caller may name another owner). What the file system
// does not keep (no streams, no security) counts as nothing to give. False when something
// `from` has could not be given to `to`.
bool CopyFileMetadata(const std::string& from, const std::string& to, const FileCalls& calls);

}  // namespace instdll
