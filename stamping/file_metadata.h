#pragma once

#include <string>

#include "stamping/stamp_files.h"

namespace instdll {

// Gives `to` what `from` carries besides its bytes and attributes and a move would lose: its
// creation time, alternate data streams and security descriptor (owner, group and DACL; the
// DACL alone where only a privileged caller may name another owner). What the file system
// does not keep (no streams, no security) counts as nothing to give; a stream search that fails
// otherwise fails the copy. False when something `from` has could not be given to `to`. `to`
// is held for its removal before it takes a descriptor that may deny this process its delete.
bool CopyFileMetadata(const std::string& from, TemporaryFile& to, const FileCalls& calls);

}  // namespace instdll
