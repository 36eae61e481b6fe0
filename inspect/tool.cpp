#include "inspect/tool.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <variant>

#include "inspect/backup_file.h"
#include "inspect/command_line.h"
#include "inspect/reg_file_reader.h"
#include "inspect/report.h"
#include "inspect/unicode_text.h"
#include "text/host_code_page.h"

#ifdef _WIN32
#include "inspect/live_registry.h"
#endif

namespace instdll::inspect {
namespace {

constexpr int kBadInput = 2;

#ifdef _WIN32
constexpr bool kLiveAvailable = true;
#else
constexpr bool kLiveAvailable = false;
#endif

// Only a mistake in the invocation is followed by the usage.
class Failure {
public:
    explicit Failure(std::ostream& err) : err_(err) {}
    int Usage(const std::string& message) const {
        err_ << kMessagePrefix << message << "\n" << kUsage;
        return kBadInput;
    }
    int Error(const std::string& message) const {
        err_ << kMessagePrefix << message << "\n";
        return kBadInput;
    }
    // What went wrong with a file, and the system's reason when it gave one.
    int File(const std::string& action, const std::string& file, int error) const {
        return Error("cannot " + action + " " + file +
                     (error == 0 ? "" : ": " + std::generic_category().message(error)));
    }
    int Plain(const std::string& message) const {
        err_ << message << "\n";
        return kBadInput;
    }

private:
    std::ostream& err_;
};

std::filesystem::path FilePath(const std::string& utf8) { return std::filesystem::u8path(utf8); }

// Loads every source into `import` and tells which view the answers are for; the status of the
// first failure, if any.
std::variant<RegistryView, int> Load(const Options& options, const CodePageConverter& converter,
                                     RegistryImport& import, const Failure& failure) {
#ifdef _WIN32
    if (options.live) {
        const RegistryView view = RegistryView::For(options.viewBits, LiveMachineIs64Bit());
        CopyLiveRegistry(view, import);
        return view;
    }
#endif
    for (const std::string& file : options.files) {
        const std::filesystem::path path = FilePath(file);
        std::error_code ignored;
        // A directory opens for reading on Linux and would read as an empty export.
        if (std::filesystem::is_directory(path, ignored)) {
            return failure.File("open", file, EISDIR);
        }
        errno = 0;
        std::ifstream in(path, std::ios::binary);
        if (!in) return failure.File("open", file, errno);
        if (const std::optional<ReadError> error = ReadRegFile(in, converter, import)) {
            return failure.Plain(file + ":" + std::to_string(error->line) + ": expected " +
                                 error->expected);
        }
        // By now errno may hold what a code page conversion left there, not the read's reason.
        if (in.bad()) return failure.File("read", file, 0);
    }
    // An export with no WOW6432Node is a 32-bit machine's, or a 32-bit program's, which shows
    // the 32-bit view under the native names.
    return RegistryView::For(options.viewBits, import.sawWow6432Node());
}

std::optional<std::string> AnsiArgument(const std::string& utf8,
                                        const CodePageConverter& converter) {
    const std::optional<std::u16string> text = Utf8ToUtf16(utf8);
    return text ? converter.ToAnsi(*text) : std::nullopt;
}

int Answer(const Options& options, MemoryRegistry& registry, RegistryView view,
           const CodePageConverter& converter, const AnsiCodePage& codePage,
           const std::vector<Unrepresentable>& left, std::ostream& out, const Failure& failure) {
    const std::optional<std::string> first = AnsiArgument(options.first, converter);
    const std::optional<std::string> second = AnsiArgument(options.second, converter);
    if (!first || !second) {
        return failure.Usage("an argument cannot be written in code page " +
                             std::to_string(options.codePage));
    }
    const std::unique_ptr<Report> report =
        options.json ? MakeJsonReport(out, converter, options.codePage, view)
                     : MakeTableReport(out, converter, options.codePage, view);
    switch (options.question) {
        case Question::Catalogue:
            report->Catalogue(left, AskCatalogue(registry, view, codePage));
            break;
        case Question::Find:
            report->Find(left, *first, AskFind(registry, view, codePage, *first));
            break;
        case Question::Prune: {
            const PruneAnswer answer = AskPrune(registry, view, codePage, *first, *second);
            if (options.backup) {
                errno = 0;
                std::ofstream backup(FilePath(*options.backup), std::ios::binary);
                backup << BackupRegFile(answer, converter);
                backup.close();
                if (!backup) return failure.File("write", *options.backup, errno);
            }
            report->Prune(left, *first, *second, answer);
            break;
        }
        case Question::Title:
            report->Title(left, *first, *second, AskTitle(registry, view, *first, *second));
            break;
    }
    return 0;
}

}  // namespace

int RunInspect(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const Failure failure(err);
    const auto parsed = ParseOptions(arguments, kLiveAvailable);
    if (const auto* message = std::get_if<std::string>(&parsed)) return failure.Usage(*message);
    const Options& options = std::get<Options>(parsed);
    const auto converter = MakeCodePageConverter(options.codePage);
    if (!converter) {
        return failure.Error("code page " + std::to_string(options.codePage) + " is not installed");
    }
    const HostCodePage codePage(options.codePage);
    MemoryRegistry registry;
    RegistryImport import(registry, *converter, codePage);
    const std::variant<RegistryView, int> loaded = Load(options, *converter, import, failure);
    if (const int* status = std::get_if<int>(&loaded)) return *status;
    return Answer(options, registry, std::get<RegistryView>(loaded), *converter, codePage,
                  import.unrepresentable(), out, failure);
}

}  // namespace instdll::inspect
