#include "inspect/command_line.h"

#include "inspect/code_page_converter.h"

namespace instdll::inspect {

const char kUsage[] =
    "usage: instdll-inspect [--code-page N] [--view 32|64] [--json] (FILE.reg... | --live)\n"
    "                       [QUESTION]\n"
    "Answers as InstDLL would on the registry in the export files (read in order) or, on\n"
    "Windows, on the machine's own registry; never writes to a registry.\n"
    "  --code-page N        the customer's ANSI code page: 1251 (default), 1252 or 932\n"
    "  --view 32|64         for the 32-bit DLL (default; its HKLM\\SOFTWARE keys are under\n"
    "                       WOW6432Node on 64-bit Windows) or the 64-bit DLL\n"
    "  --json               one JSON object instead of tables\n"
    "QUESTION, one of (default: the catalogue InitV7Info builds and what its scans skip):\n"
    "  --find DIR           what FindISUInCatalog(DIR) returns\n"
    "  --prune DIR KEEP     what RemoveAllInCatExcept(DIR, KEEP) deletes, and the counter\n"
    "    --backup FILE.reg  and write a .reg that restores what it deletes\n"
    "  --title NAME TITLE   what RegDBAddToTitles(NAME, TITLE) stores\n";

namespace {

struct QuestionOption {
    const char* name;
    Question question;
    std::size_t arguments;
};

constexpr QuestionOption kQuestions[] = {
    {"--find", Question::Find, 1},
    {"--prune", Question::Prune, 2},
    {"--title", Question::Title, 2},
};

std::optional<unsigned> CodePageNumber(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const auto number = static_cast<unsigned>(std::stoul(text));
    if (!IsSupportedCodePage(number)) return std::nullopt;
    return number;
}

}  // namespace

std::variant<Options, std::string> ParseOptions(const std::vector<std::string>& arguments,
                                                bool liveAvailable) {
    Options options;
    bool questionGiven = false;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        const std::size_t left = arguments.size() - at - 1;
        if (argument == "--json") {
            options.json = true;
        } else if (argument == "--live") {
            if (!liveAvailable) return std::string("--live reads a Windows machine's own registry");
            options.live = true;
        } else if (argument == "--code-page" || argument == "--backup" || argument == "--view") {
            if (left < 1) return argument + " needs an argument";
            const std::string& value = arguments[++at];
            if (argument == "--backup") {
                options.backup = value;
            } else if (argument == "--view") {
                if (value != "32" && value != "64") return "--view is 32 or 64, not " + value;
                options.viewBits = value == "32" ? 32 : 64;
            } else if (const std::optional<unsigned> codePage = CodePageNumber(value)) {
                options.codePage = *codePage;
            } else {
                return "unsupported code page " + value + " (1251, 1252 or 932)";
            }
        } else if (argument.rfind("--", 0) == 0) {
            const QuestionOption* found = nullptr;
            for (const QuestionOption& question : kQuestions) {
                if (argument == question.name) found = &question;
            }
            if (found == nullptr) return "unknown option " + argument;
            if (questionGiven) return std::string("one question at a time");
            if (left < found->arguments) {
                return argument + " needs " + std::to_string(found->arguments) + " argument" +
                       (found->arguments == 1 ? "" : "s");
            }
            questionGiven = true;
            options.question = found->question;
            options.first = arguments[++at];
            if (found->arguments == 2) options.second = arguments[++at];
        } else {
            options.files.push_back(argument);
        }
    }
    if (options.live == !options.files.empty()) {
        return std::string(options.live ? "--live or export files, not both"
                                        : "no export file given");
    }
    if (options.backup && options.question != Question::Prune) {
        return std::string("--backup goes with --prune");
    }
    return options;
}

}  // namespace instdll::inspect
