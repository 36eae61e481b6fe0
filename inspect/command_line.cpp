#include "inspect/command_line.h"

#include "inspect/code_page_converter.h"
#include "inspect/run_log.h"

namespace instdll::inspect {

const char kUsage[] =
    "usage: instdll-inspect [--code-page N] [--view 32|64] [--json] (FILE.reg... | --live)\n"
    "                       [QUESTION]\n"
    "       instdll-inspect [--code-page N] --restore LOG [--pid N] [--from TIME] --out FILE.reg\n"
    "                       [--live]\n"
    "Answers as InstDLL would on the registry in the export files (read in order) or, on\n"
    "Windows, on the machine's own registry; never writes to a registry (but for\n"
    "--restore --live, which raises the component counter).\n"
    "  --code-page N        the customer's ANSI code page (default 1251): any Windows uses,\n"
    "                       65001 for UTF-8; --restore takes it from the log where it is named\n"
    "  --view 32|64         for the 32-bit DLL (default; its HKLM\\SOFTWARE keys are under\n"
    "                       WOW6432Node on 64-bit Windows) or the 64-bit DLL\n"
    "  --json               one JSON object instead of tables\n"
    "QUESTION, one of (default: the catalogue InitV7Info builds and what its scans skip):\n"
    "  --find DIR           what FindISUInCatalog(DIR) returns\n"
    "  --prune DIR KEEP     what RemoveAllInCatExcept(DIR, KEEP) deletes, and the counter\n"
    "    --backup FILE.reg  and write a .reg that restores what it deletes\n"
    "  --title NAME TITLE   what RegDBAddToTitles(NAME, TITLE) stores\n"
    "--restore LOG writes a .reg that puts back what the RemoveAllInCatExcept calls in the\n"
    "INSTDLL_LOG file LOG deleted, and says by how much to raise the component counter:\n"
    "  --pid N              only the calls of process N\n"
    "  --from TIME          only calls at or after TIME (YYYY-MM-DD[ hh:mm[:ss[.mmm]]])\n"
    "  --live               on Windows: raise the machine's counter by that much too\n";

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
    {"--restore", Question::Restore, 1},
};

// A decimal number of at most `digits` digits and nothing else.
std::optional<unsigned long long> DecimalNumber(const std::string& text, std::size_t digits) {
    if (text.empty() || text.size() > digits ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoull(text);
}

std::optional<unsigned> CodePageNumber(const std::string& text) {
    const std::optional<unsigned long long> number = DecimalNumber(text, 5);
    if (!number || !IsSupportedCodePage(static_cast<unsigned>(*number))) return std::nullopt;
    return static_cast<unsigned>(*number);
}

constexpr const char* kValueOptions[] = {"--code-page", "--backup", "--view",
                                         "--out",       "--pid",    "--from"};

std::optional<std::uint32_t> ProcessNumber(const std::string& text) {
    const std::optional<unsigned long long> number = DecimalNumber(text, 10);
    if (!number || *number > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(*number);
}

bool IsValueOption(const std::string& argument) {
    for (const char* option : kValueOptions) {
        if (argument == option) return true;
    }
    return false;
}

// The value of an option that takes one; a message when it is not a value that option takes.
std::optional<std::string> TakeValue(Options& options, const std::string& option,
                                     const std::string& value) {
    if (option == "--backup") {
        options.backup = value;
    } else if (option == "--view") {
        if (value != "32" && value != "64") return "--view is 32 or 64, not " + value;
        options.viewBits = value == "32" ? 32 : 64;
    } else if (option == "--out") {
        options.out = value;
    } else if (option == "--pid") {
        options.pid = ProcessNumber(value);
        if (!options.pid) return "not a process id: " + value;
    } else if (option == "--from") {
        if (!IsLogTimePrefix(value)) return "not a time as the log writes it: " + value;
        options.from = value;
    } else if (const std::optional<unsigned> codePage = CodePageNumber(value)) {
        options.codePage = *codePage;
    } else {
        return "unsupported code page " + value + " (" + SupportedCodePageList() + ")";
    }
    return std::nullopt;
}

// What is wrong with the options of --restore, if anything.
std::optional<std::string> RestoreMistake(const Options& options) {
    if (options.question != Question::Restore) {
        if (options.out || options.pid || !options.from.empty()) {
            return std::string("--out, --pid and --from go with --restore");
        }
        return std::nullopt;
    }
    if (!options.files.empty()) return std::string("--restore reads a log, not export files");
    if (options.json) return std::string("--restore answers in text only");
    if (!options.out) return std::string("--restore needs --out FILE.reg");
    return std::nullopt;
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
        } else if (IsValueOption(argument)) {
            if (left < 1) return argument + " needs an argument";
            if (auto mistake = TakeValue(options, argument, arguments[++at])) return *mistake;
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
    if (const std::optional<std::string> mistake = RestoreMistake(options)) return *mistake;
    if (options.question != Question::Restore && options.live == !options.files.empty()) {
        return std::string(options.live ? "--live or export files, not both"
                                        : "no export file given");
    }
    if (options.backup && options.question != Question::Prune) {
        return std::string("--backup goes with --prune");
    }
    return options;
}

}  // namespace instdll::inspect
