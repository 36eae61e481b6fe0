#include "inspect/tool.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <variant>

#include "inspect/backup_file.h"
#include "inspect/command_line.h"
#include "inspect/converted_code_page.h"
#include "inspect/report.h"
#include "inspect/run_log.h"
#include "inspect/unicode_text.h"
#include "log/log_format.h"
#include "regfile/reg_file_reader.h"

#ifdef _WIN32
#include "inspect/live_registry.h"
#endif

namespace instdll::inspect {
namespace {

constexpr int kIncomplete = 1;
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
    int Error(const std::string& message, const std::vector<std::string>& details = {}) const {
        err_ << kMessagePrefix << message << "\n";
        for (const std::string& detail : details) err_ << "  " << detail << "\n";
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

// Opens `file` into `in`; the failure's status, if it fails.
std::optional<int> OpenFile(const std::string& file, std::ifstream& in, const Failure& failure) {
    const std::filesystem::path path = FilePath(file);
    std::error_code ignored;
    // A directory opens for reading on Linux and would read as an empty file.
    if (std::filesystem::is_directory(path, ignored)) return failure.File("open", file, EISDIR);
    errno = 0;
    in.open(path, std::ios::binary);
    if (!in) return failure.File("open", file, errno);
    return std::nullopt;
}

// Whether `output` is one of the files the tool reads: writing it would truncate the input
// while it is still needed, or lose it on a failure.
bool IsInput(const std::string& output, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        std::error_code ignored;
        if (std::filesystem::equivalent(FilePath(output), FilePath(input), ignored)) return true;
    }
    return false;
}

// Written beside `file` under another name and renamed over it once complete, so that a
// failure leaves no half file and whatever `file` held before.
std::optional<int> WriteWhole(const std::string& file, const std::string& bytes,
                              const Failure& failure) {
    const std::filesystem::path target = FilePath(file);
    std::filesystem::path partial = target;
    partial += ".partial";
    std::error_code error;
    std::filesystem::remove(partial, error);
    errno = 0;
    std::ofstream output(partial, std::ios::binary);
    output << bytes;
    output.close();
    if (!output) {
        const int reason = errno;
        std::filesystem::remove(partial, error);
        return failure.File("write", file, reason);
    }
    std::filesystem::rename(partial, target, error);
    if (error) {
        const std::string reason = error.message();
        std::filesystem::remove(partial, error);
        return failure.Error("cannot write " + file + ": " + reason);
    }
    return std::nullopt;
}

// The .reg file `file`, unless a name in it cannot be written or `file` is an input.
std::optional<int> WriteRegFile(const std::string& file,
                                const std::variant<std::string, Unwritable>& contents,
                                const std::vector<std::string>& inputs, const Failure& failure) {
    if (IsInput(file, inputs)) {
        return failure.Error("cannot write " + file + ": it is a file this run reads");
    }
    if (const auto* unwritable = std::get_if<Unwritable>(&contents)) {
        std::string what = '[' + PrintableUtf8(unwritable->path) + ']';
        if (unwritable->valueName) {
            what = "value \"" + PrintableUtf8(*unwritable->valueName) + "\" of " + what;
        }
        return failure.Error(
            "nothing written to " + file + ": " + what + " cannot be written " +
            "to a .reg file that every importer reads back as it is: " + unwritable->reason);
    }
    return WriteWhole(file, std::get<std::string>(contents), failure);
}

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
        std::ifstream in;
        if (const std::optional<int> status = OpenFile(file, in, failure)) return *status;
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

// "[HKEY_LOCAL_MACHINE\...\Components] by N": raised on the machine with --live, else left to
// the reader, since a .reg file can only set a value that another setup may have changed since.
void ReportCounter(const CounterRaise& raise, bool live, std::ostream& out) {
    const std::string key = '[' + PrintableUtf8(raise.keyPath) + ']';
    const std::string by = std::to_string(raise.by);
    out << "Component counter " << key << ": ";
#ifdef _WIN32
    if (live) {
        const std::u16string root = u"HKEY_LOCAL_MACHINE\\";
        const std::optional<CounterChange> change =
            raise.by > UINT32_MAX ? std::nullopt
                                  : RaiseLiveCounter(ShownUtf8(raise.keyPath.substr(root.size())),
                                                     static_cast<std::uint32_t>(raise.by));
        if (change) {
            out << "raised by " << by << ", from " << change->before << " to " << change->after
                << "\n";
            return;
        }
        out << "could not be raised here; ";
    }
#else
    static_cast<void>(live);
#endif
    out << "the file leaves it alone: raise it by " << by << " after importing the file\n";
}

// A backup is taken before the setup prunes, so its raise is always left to the reader.
void ReportBackupCounter(const PruneAnswer& answer, const CodePageConverter& converter,
                         std::ostream& out) {
    if (const std::optional<CounterRaise> raise = BackupCounterRaise(answer, converter)) {
        ReportCounter(*raise, false, out);
    }
}

int Answer(const Options& options, MemoryRegistry& registry, RegistryView view,
           const CodePageConverter& converter, const AnsiCodePage& codePage,
           const std::vector<Unrepresentable>& left, std::ostream& out, std::ostream& err,
           const Failure& failure) {
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
                const std::optional<int> status = WriteRegFile(
                    *options.backup, BackupRegFile(answer, converter), options.files, failure);
                if (status) return *status;
            }
            report->Prune(left, *first, *second, answer);
            if (options.backup) ReportBackupCounter(answer, converter, options.json ? err : out);
            break;
        }
        case Question::Title:
            report->Title(left, *first, *second, AskTitle(registry, view, *first, *second));
            break;
        case Question::Restore:  // answered from the log, before any registry is loaded
            break;
    }
    return 0;
}

void ReportRestore(const Options& options, const RestorePlan& plan, std::ostream& out) {
    out << "Put back what these " << kLogPruneExport << " calls deleted:\n";
    for (const PruneCall& call : plan.calls) {
        out << "  process " << call.pid << " at " << call.time << " (" << call.view << ", line "
            << call.line << "): " << call.keysRestored
            << (call.keysRestored == 1 ? " key" : " keys") << ", counter lowered by "
            << call.counterLowered << "\n";
    }
    out << "Written to " << *options.out << " (import it with reg import or regedit /s):\n";
    for (const RegFileKey& key : plan.keys) {
        out << "  [" << PrintableUtf8(key.path) << "] " << key.values.size()
            << (key.values.size() == 1 ? " value" : " values") << "\n";
    }
    for (const CounterRaise& raise : plan.counter) ReportCounter(raise, options.live, out);
    if (plan.gaps.empty()) return;
    out << "Not put back as it was:\n";
    for (const std::string& gap : plan.gaps) out << "  " << gap << "\n";
    out << "The file holds only what the log shows for certain; it lacks what is named above\n";
}

int Restore(const Options& options, const CodePageConverter& converter, std::ostream& out,
            const Failure& failure) {
    const std::string& log = options.first;
    std::ifstream in;
    if (const std::optional<int> status = OpenFile(log, in, failure)) return *status;
    const ConvertedCodePage codePage(options.codePage, converter);
    const auto read = ReadRunLog(in, RestoreFilter{options.pid, options.from}, converter, codePage);
    if (in.bad()) return failure.File("read", log, 0);
    if (const auto* refusal = std::get_if<LogRefusal>(&read)) {
        return failure.Plain(log + ":" + std::to_string(refusal->line) + ": expected " +
                             refusal->expected);
    }
    const RestorePlan& plan = std::get<RestorePlan>(read);
    if (plan.calls.empty()) {
        return failure.Error("nothing to restore: no selected " + std::string(kLogPruneExport) +
                                 " call in " + log + " deleted a key that can be put back",
                             plan.gaps);
    }
    if (const std::optional<int> status =
            WriteRegFile(*options.out, RegFileBytes(plan.keys), {log}, failure)) {
        return *status;
    }
    ReportRestore(options, plan, out);
    return plan.gaps.empty() ? 0 : kIncomplete;
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
    if (options.question == Question::Restore) return Restore(options, *converter, out, failure);
    const ConvertedCodePage codePage(options.codePage, *converter);
    MemoryRegistry registry(&codePage);
    RegistryImport import(registry, *converter, codePage);
    const std::variant<RegistryView, int> loaded = Load(options, *converter, import, failure);
    if (const int* status = std::get_if<int>(&loaded)) return *status;
    return Answer(options, registry, std::get<RegistryView>(loaded), *converter, codePage,
                  import.unrepresentable(), out, err, failure);
}

}  // namespace instdll::inspect
