#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace instdll::inspect {

enum class Question { Catalogue, Find, Prune, Title };

struct Options {
    std::vector<std::string> files;  // UTF-8 names, read in order
    bool live = false;
    unsigned codePage = 1251;
    bool json = false;
    Question question = Question::Catalogue;
    std::string first;   // DIR or NAME, UTF-8
    std::string second;  // KEEP or TITLE, UTF-8
    std::optional<std::string> backup;
    unsigned viewBits = 32;  // the build of the DLL the answer is for
};

extern const char kUsage[];

// The options, or a one-line description of what is wrong with them.
std::variant<Options, std::string> ParseOptions(const std::vector<std::string>& arguments,
                                                bool liveAvailable);

}  // namespace instdll::inspect
