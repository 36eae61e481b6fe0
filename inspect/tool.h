#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace instdll::inspect {

// What begins every message the program writes on its error stream.
inline constexpr char kMessagePrefix[] = "instdll-inspect: ";

// The whole program on UTF-8 arguments: 0 with the answer on `out`, 2 with a message on `err`
// for bad options, a file that will not open or read, or a malformed export. Nothing is
// printed on `out` unless every file was read.
int RunInspect(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace instdll::inspect
