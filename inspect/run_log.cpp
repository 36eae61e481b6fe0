#include "inspect/run_log.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "catalog/family_prefix.h"
#include "inspect/registry_import.h"
#include "inspect/unicode_text.h"
#include "log/call_log.h"
#include "log/log_format.h"
#include "regfile/reg_file_reader.h"
#include "registry/registry_access.h"
#include "registry/registry_paths.h"

namespace instdll::inspect {
namespace {

constexpr char kTimePattern[] = "dddd-dd-dd dd:dd:dd.ddd";
constexpr std::size_t kTimeSize = sizeof kTimePattern - 1;
constexpr char kLineExpected[] =
    "a call log line: \"YYYY-MM-DD hh:mm:ss.mmm [pid] Export: text\" of at most 512 bytes";
// A record joined from its lines may hold this many characters: more than any the library
// writes (a value of 64 KB as hex, with its name), so a file of endless continuations is refused.
constexpr std::size_t kLongestRecord = std::size_t{1} << 20;
constexpr char16_t kMachineRoot[] = u"HKEY_LOCAL_MACHINE\\";
constexpr char16_t kSoftware[] = u"SOFTWARE\\";
constexpr char16_t kWow64Node[] = u"WOW6432Node\\";

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }
std::string Shown(std::u16string_view text) { return PrintableUtf8(text); }

bool StartsWith(std::u16string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == Ascii(prefix);
}

bool EndsWith(std::u16string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.substr(text.size() - suffix.size()) == Ascii(suffix);
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    }
    return true;
}

// The name of a key directly under the product key or the uninstall list, the only parents the
// pruning deletes from; nothing for any other key.
std::optional<std::u16string_view> PrunedParentSubkey(std::u16string_view path) {
    for (const char* parent : {kProductKeyPath, kUninstallRootPath}) {
        const std::u16string prefix = kMachineRoot + Ascii(parent) + u"\\";
        if (!StartsWithNoCase(path, prefix)) continue;
        const std::u16string_view name = path.substr(prefix.size());
        if (name.find(u'\\') == std::u16string_view::npos) return name;
    }
    return std::nullopt;
}

// The library's own test, on the name as the code page holds it.
bool IsFamilyName(std::u16string_view name, const CodePageConverter& converter,
                  const AnsiCodePage& codePage) {
    const std::optional<std::string> ansi = converter.ToAnsi(name);
    return ansi && HasFamilyPrefix(*ansi, codePage);
}

// "N lines dropped before this one: ...", whatever export wrote it.
bool IsDroppedCount(std::u16string_view text) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= u'0' && text[digits] <= u'9') ++digits;
    return digits > 0 && StartsWith(text.substr(digits), kLogLinesDropped);
}

// Collects one key's values from its .reg lines; the text types' ANSI data through the code
// page.
class KeyCollector final : public RegFileSink {
public:
    explicit KeyCollector(const CodePageConverter& converter) : converter_(converter) {}

    void OpenKey(std::u16string_view path) override { key_.path = path; }
    void DeleteKey(std::u16string_view) override { deletion_ = true; }
    void DeleteValue(std::u16string_view) override { deletion_ = true; }
    void SetValue(std::u16string_view name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data, TextEncoding encoding) override {
        if (name.size() > kRegistryValueNameLimit) {
            nameTooLong_ = true;
            return;
        }
        RegFileValue value{std::u16string(name), type, data};
        if (encoding == TextEncoding::Ansi && IsTextType(type)) {
            const std::optional<std::u16string> text =
                converter_.ToUnicode(std::string(data.begin(), data.end()));
            if (!text) {
                unconverted_ = true;
                return;
            }
            value.data.clear();
            AppendUtf16Le(value.data, *text);
        }
        key_.values.push_back(std::move(value));
    }

    RegFileKey& key() { return key_; }
    const RegFileKey& key() const { return key_; }
    bool deletion() const { return deletion_; }
    // Whether the last value was left out for text the code page does not hold.
    bool TakeUnconverted() { return std::exchange(unconverted_, false); }
    bool nameTooLong() const { return nameTooLong_; }

private:
    const CodePageConverter& converter_;
    RegFileKey key_;
    bool deletion_ = false;
    bool unconverted_ = false;
    bool nameTooLong_ = false;
};

// A .reg value text ("@=dword:00000005") as a number of at most four bytes.
std::optional<std::uint32_t> NumberOf(std::u16string_view valueText,
                                      const CodePageConverter& converter) {
    KeyCollector collector(converter);
    RegLineParser parser(collector, TextEncoding::Ansi);
    if (parser.Line(u"[counter]") || parser.Line(valueText) || collector.key().values.size() != 1) {
        return std::nullopt;
    }
    const std::vector<std::uint8_t>& data = collector.key().values.front().data;
    if (data.empty() || data.size() > 4) return std::nullopt;
    std::uint32_t number = 0;
    for (std::size_t i = data.size(); i-- > 0;) number = number << 8 | data[i];
    return number;
}

struct LogLine {
    std::string time;
    std::uint32_t pid = 0;
    std::string exportName;
    bool continuation = false;
    std::u16string text;
};

// The prefix's fields and the text after it, or nothing for a line the log never writes.
std::optional<LogLine> ParseLine(std::string_view bytes) {
    LogLine line;
    if (bytes.size() < kTimeSize + 2 || !IsLogTimePrefix(bytes.substr(0, kTimeSize)) ||
        bytes.substr(kTimeSize, 2) != " [") {
        return std::nullopt;
    }
    line.time = std::string(bytes.substr(0, kTimeSize));
    std::size_t at = kTimeSize + 2;
    const std::size_t digits = at;
    std::uint64_t pid = 0;
    for (; at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && at - digits < 10; ++at) {
        pid = pid * 10 + static_cast<unsigned>(bytes[at] - '0');
    }
    if (at == digits || pid > UINT32_MAX || bytes.substr(at, 2) != "] ") return std::nullopt;
    line.pid = static_cast<std::uint32_t>(pid);
    at += 2;
    const std::size_t name = at;
    while (at < bytes.size() && std::isalnum(static_cast<unsigned char>(bytes[at])) != 0) ++at;
    line.exportName = std::string(bytes.substr(name, at - name));
    const std::string_view rest = bytes.substr(at);
    const std::string_view continued = kLogContinuationMark;
    const std::string_view first = kLogRecordMark;
    if (rest.substr(0, continued.size()) == continued) {
        line.continuation = true;
        at += continued.size();
    } else if (rest.substr(0, first.size()) == first) {
        at += first.size();
    } else {
        return std::nullopt;
    }
    const std::optional<std::u16string> text = Utf8ToUtf16(bytes.substr(at));
    if (line.exportName.empty() || !text) return std::nullopt;
    line.text = *text;
    return line;
}

// A deleted key while its values are read: put back only once the log says it was deleted.
struct KeyBlock {
    KeyBlock(const CodePageConverter& converter, std::size_t keyLine)
        : collector(converter), parser(collector, TextEncoding::Ansi), line(keyLine) {}
    KeyCollector collector;
    RegLineParser parser;
    std::size_t line;
    std::size_t logged = 0;  // value lines, whether or not they could be read
    bool whole = true;
};

struct OpenCall {
    PruneCall call;
    bool selected = false;
    std::optional<ProcessView> view;
    const CodePageConverter* codePage = nullptr;  // the one the log names, else the one given
    std::unique_ptr<KeyBlock> key;
    bool counterLogged = false;  // "wrote [counter]" or "counter not written" seen
};

struct Record {
    std::size_t line = 0;
    std::string time;
    std::string exportName;
    std::u16string text;
};

class LogReader {
public:
    LogReader(const RestoreFilter& filter, const CodePageConverter& converter,
              const AnsiCodePage& codePage)
        : filter_(filter), converter_(converter), codePage_(codePage) {}

    std::optional<LogRefusal> Line(std::size_t number, std::string_view bytes) {
        const std::optional<LogLine> line = ParseLine(bytes);
        if (!line) return LogRefusal{number, kLineExpected};
        std::optional<Record>& pending = pending_[line->pid];
        if (line->continuation) {
            if (!pending || pending->exportName != line->exportName) {
                return LogRefusal{number, "the first line of the record this line continues"};
            }
            if (pending->text.size() + line->text.size() > kLongestRecord) {
                return LogRefusal{number, "a record of at most " + std::to_string(kLongestRecord) +
                                              " characters"};
            }
            pending->text += line->text;
            return std::nullopt;
        }
        std::optional<LogRefusal> refusal;
        if (pending) refusal = Take(line->pid, *pending);
        pending = Record{number, line->time, line->exportName, line->text};
        return refusal;
    }

    std::variant<RestorePlan, LogRefusal> Finish() {
        // Each record is let go once taken, so that a log of many processes is not held twice.
        for (auto pending = pending_.begin(); pending != pending_.end();
             pending = pending_.erase(pending)) {
            if (!pending->second) continue;
            if (std::optional<LogRefusal> refusal = Take(pending->first, *pending->second)) {
                return *refusal;
            }
            // No line follows: a call still open ends here, unlogged to its end.
            if (const auto open = calls_.find(pending->first); open != calls_.end()) {
                EndCall(open->second, false);
                calls_.erase(open);
            }
        }
        std::stable_sort(gaps_.begin(), gaps_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        plan_.gaps.reserve(gaps_.size());
        for (auto& [line, gap] : gaps_) plan_.gaps.push_back(std::move(gap));
        gaps_.clear();
        return std::move(plan_);
    }

private:
    void Gap(std::size_t line, const std::string& what) {
        gaps_.emplace_back(line, "line " + std::to_string(line) + ": " + what);
    }

    // The converter for a code page number as the process line gives it; null when the number
    // is no supported code page or this machine lacks it.
    const CodePageConverter* RecordedCodePage(std::u16string_view digits) {
        if (digits.empty() || digits.size() > 5 ||
            digits.find_first_not_of(u"0123456789") != std::u16string_view::npos) {
            return nullptr;
        }
        unsigned number = 0;
        for (const char16_t digit : digits)
            number = number * 10 + static_cast<unsigned>(digit - u'0');
        std::unique_ptr<CodePageConverter>& converter = recorded_[number];
        if (!converter) converter = MakeCodePageConverter(number);
        return converter.get();
    }

    bool Selected(std::uint32_t pid, const std::string& time) const {
        return (!filter_.pid || *filter_.pid == pid) &&
               time.substr(0, filter_.from.size()) >= filter_.from;
    }

    // Calls are kept only while open, so memory grows with the processes logging at once.
    std::optional<LogRefusal> Take(std::uint32_t pid, const Record& record) {
        if (IsDroppedCount(record.text)) {
            if (Selected(pid, record.time)) {
                Gap(record.line,
                    "process " + std::to_string(pid) + " lost " +
                        Shown(record.text.substr(0, record.text.find(u' '))) +
                        " log lines before this one: the file may lack what they said");
            }
            return std::nullopt;
        }
        const auto found = calls_.find(pid);
        if (StartsWith(record.text, kLogCalled)) {
            headless_.erase(pid);
            if (found != calls_.end()) {
                EndCall(found->second, false);
                calls_.erase(found);
            }
            if (record.exportName == kLogPruneExport) StartCall(pid, record);
            return std::nullopt;
        }
        if (found == calls_.end()) {
            if (record.exportName == kLogPruneExport) Headless(pid, record);
            return std::nullopt;
        }
        OpenCall& open = found->second;
        if (record.exportName != kLogPruneExport) {
            EndCall(open, false);
            calls_.erase(found);
            return std::nullopt;
        }
        const std::optional<LogRefusal> refusal = CallRecord(open, record);
        if (StartsWith(record.text, kLogReturned)) {
            EndCall(open, true);
            calls_.erase(found);
        }
        return refusal;
    }

    void StartCall(std::uint32_t pid, const Record& record) {
        OpenCall& open = calls_[pid];
        open.call.pid = pid;
        open.call.time = record.time;
        open.call.line = record.line;
        open.selected = Selected(pid, record.time);
    }

    // A pruning call's lines without its "called" line: the call's view and start are unknown,
    // so nothing of it is put back. Named once until the process's next call.
    void Headless(std::uint32_t pid, const Record& record) {
        if (!Selected(pid, record.time) || !headless_.insert(pid).second) return;
        Gap(record.line, "process " + std::to_string(pid) + "'s " + kLogPruneExport +
                             " lines from here have no \"" + kLogCalled +
                             "\" line before them: what that call deleted is not put back");
    }

    std::optional<LogRefusal> CallRecord(OpenCall& open, const Record& record) {
        const std::u16string& text = record.text;
        if (open.key) {
            if (!text.empty() && (text.front() == u'"' || text.front() == u'@')) {
                return Value(open, record);
            }
            EndKey(open, record);
            if (StartsWith(text, kLogDeletedWith) ||
                StartsWith(text, std::string(kLogDelete) + kLogFailed)) {
                return std::nullopt;
            }
        }
        if (StartsWith(text, kLogProcess)) return View(open, record);
        if (!text.empty() && text.front() == u'[') return Key(open, record);
        if (StartsWith(text, kLogWrote)) Counter(open, record);
        if (text == Ascii(kLogCounterNotWritten)) open.counterLogged = true;
        return std::nullopt;
    }

    std::optional<LogRefusal> View(OpenCall& open, const Record& record) {
        std::u16string_view view = std::u16string_view(record.text).substr(sizeof kLogProcess - 1);
        const std::size_t mark = view.find(Ascii(kLogCodePage));
        if (mark != std::u16string_view::npos) {
            open.codePage = RecordedCodePage(view.substr(mark + sizeof kLogCodePage - 1));
            if (open.codePage == nullptr) {
                return LogRefusal{record.line, "a code page this machine converts (" +
                                                   SupportedCodePageList() + ")"};
            }
            view = view.substr(0, mark);
        }
        if (view == Ascii(kLogProcessWow64)) {
            open.view = ProcessView::Wow64;
        } else if (view == Ascii(kLogProcess64) || view == Ascii(kLogProcess32)) {
            open.view = ProcessView::Native;
        } else {
            return LogRefusal{record.line, std::string("a process of ") + kLogProcess64 + ", " +
                                               kLogProcess32 + " or " + kLogProcessWow64};
        }
        open.call.view = Shown(view);
        return std::nullopt;
    }

    std::optional<LogRefusal> Key(OpenCall& open, const Record& record) {
        open.key = std::make_unique<KeyBlock>(
            open.codePage != nullptr ? *open.codePage : converter_, record.line);
        KeyBlock& key = *open.key;
        if (StartsWith(record.text, "[?\\")) {
            Gap(record.line,
                Shown(record.text) + ": the log does not name the key it is under: not put back");
            key.whole = false;
            return std::nullopt;
        }
        // Where the key is depends on the view: without it the file could name another key.
        if (!open.view) {
            return LogRefusal{record.line,
                              std::string("the call's \"") + kLogProcess +
                                  "\" line, naming its registry view, before its keys"};
        }
        if (key.parser.Line(record.text) || key.collector.deletion()) {
            return LogRefusal{record.line, PrunedKeyExpected()};
        }
        const std::optional<std::u16string_view> name =
            PrunedParentSubkey(key.collector.key().path);
        if (name && name->size() > kRegistryKeyNameLimit) {
            return LogRefusal{
                record.line,
                "a key name of at most " + std::to_string(kRegistryKeyNameLimit) + " characters"};
        }
        if (!name || !IsFamilyName(*name, converter_, codePage_)) {
            return LogRefusal{record.line, PrunedKeyExpected()};
        }
        return std::nullopt;
    }

    static std::string PrunedKeyExpected() {
        const std::string family = std::string("\\") + kFamilyPrefix + "...]";
        return "a key the library deletes: [HKEY_LOCAL_MACHINE\\" + std::string(kProductKeyPath) +
               family + " or [HKEY_LOCAL_MACHINE\\" + kUninstallRootPath + family;
    }

    static std::string KeyShown(const KeyBlock& key) {
        return '[' + Shown(key.collector.key().path) + ']';
    }

    std::optional<LogRefusal> Value(OpenCall& open, const Record& record) {
        KeyBlock& key = *open.key;
        ++key.logged;
        const std::u16string& text = record.text;
        if (EndsWith(text, kLogValueTooLong) || EndsWith(text, kLogValueUnread) ||
            EndsWith(text, kLogValueAbsent)) {
            Gap(record.line, "value " + Shown(text) + " of " + KeyShown(key) +
                                 ": the log holds no data for it: not put back");
            return std::nullopt;
        }
        if (const std::optional<std::string> expected = key.parser.Line(text)) {
            Gap(record.line, "a value of " + KeyShown(key) +
                                 " the log does not hold as a .reg line (" + *expected +
                                 " expected): not put back");
        } else if (key.collector.deletion()) {
            return LogRefusal{record.line, "a value with its data"};
        } else if (key.collector.nameTooLong()) {
            return LogRefusal{record.line, "a value name of at most " +
                                               std::to_string(kRegistryValueNameLimit) +
                                               " characters"};
        } else if (key.collector.TakeUnconverted()) {
            Gap(record.line, "a value of " + KeyShown(key) +
                                 " whose text is not in the call's code page: not put back");
        }
        return std::nullopt;
    }

    // The key's block ends with the record that follows its values: put back only when that
    // record says the key was deleted.
    void EndKey(OpenCall& open, const Record& record) {
        std::unique_ptr<KeyBlock> key = std::move(open.key);
        const std::u16string& text = record.text;
        if (!key->whole) return;
        const std::string name = KeyShown(*key);
        if (!StartsWith(text, kLogDeletedWith)) {
            if (!StartsWith(text, std::string(kLogDelete) + kLogFailed)) {
                Gap(key->line,
                    name + ": the log does not say whether it was deleted: not put back");
            }
            return;
        }
        const std::u16string count = text.substr(sizeof kLogDeletedWith - 1);
        if (count.substr(0, count.find(u' ')) != Ascii(std::to_string(key->logged))) {
            Gap(record.line, name + ": the log lists " + std::to_string(key->logged) +
                                 " of its values, not " + Shown(count) +
                                 ": put back with those it lists");
        }
        if (!open.selected) return;
        RegFileKey restored = std::move(key->collector.key());
        restored.path = KeyInView(restored.path, *open.view);
        plan_.keys.push_back(std::move(restored));
        ++open.call.keysRestored;
    }

    // "wrote [counter key] new over old": how far the call lowered the counter.
    void Counter(OpenCall& open, const Record& record) {
        const std::u16string counterKey =
            u"[" + (kMachineRoot + Ascii(kComponentCounterPath)) + u"] ";
        const std::u16string_view text =
            std::u16string_view(record.text).substr(sizeof kLogWrote - 1);
        const std::size_t over = text.find(Ascii(kLogOver));
        if (!StartsWithNoCase(text, counterKey)) return;
        open.counterLogged = true;
        if (over == std::u16string_view::npos) return;
        const std::optional<std::uint32_t> after =
            NumberOf(text.substr(counterKey.size(), over - counterKey.size()), converter_);
        const std::optional<std::uint32_t> before =
            NumberOf(text.substr(over + sizeof kLogOver - 1), converter_);
        if (after && before && *before >= *after) open.call.counterLowered = *before - *after;
    }

    void EndCall(OpenCall& open, bool returned) {
        if (open.key) {
            Gap(open.key->line, KeyShown(*open.key) +
                                    ": the log does not say whether it was deleted: not put back");
            open.key.reset();
        }
        if (!open.selected) return;
        const std::string call =
            "process " + std::to_string(open.call.pid) + "'s call at " + open.call.time;
        if (!returned) {
            Gap(open.call.line, call +
                                    " was not logged to its end (stopped, or the log is cut): "
                                    "what it logged as deleted is put back");
        } else if (!open.counterLogged) {
            Gap(open.call.line, call + " has no \"" + kLogWrote + "[...]\" or \"" +
                                    kLogCounterNotWritten +
                                    "\" line: how far it lowered the counter is not known");
        }
        if (open.call.counterLowered > 0 && !open.view) {
            Gap(open.call.line, call + " lowered the counter by " +
                                    std::to_string(open.call.counterLowered) +
                                    ", but the log does not say in which registry view: no raise "
                                    "is given for it");
            open.call.counterLowered = 0;
        }
        if (open.call.counterLowered > 0) {
            const std::u16string path =
                KeyInView(kMachineRoot + Ascii(kComponentCounterPath), *open.view);
            auto raise = plan_.counter.begin();
            while (raise != plan_.counter.end() && raise->keyPath != path) ++raise;
            if (raise == plan_.counter.end()) raise = plan_.counter.insert(raise, {path, 0});
            raise->by += open.call.counterLowered;
        }
        if (open.call.keysRestored > 0 || open.call.counterLowered > 0) {
            plan_.calls.push_back(open.call);
        }
    }

    const RestoreFilter& filter_;
    const CodePageConverter& converter_;
    const AnsiCodePage& codePage_;
    std::map<unsigned, std::unique_ptr<CodePageConverter>> recorded_;
    RestorePlan plan_;
    std::map<std::uint32_t, std::optional<Record>> pending_;
    std::map<std::uint32_t, OpenCall> calls_;
    std::set<std::uint32_t> headless_;  // processes in pruning lines without their call's start
    std::vector<std::pair<std::size_t, std::string>> gaps_;  // by line when the log is read
};

}  // namespace

std::u16string KeyInView(std::u16string_view path, ProcessView view) {
    const std::u16string software = std::u16string(kMachineRoot) + kSoftware;
    if (view != ProcessView::Wow64 || !StartsWithNoCase(path, software) ||
        StartsWithNoCase(path.substr(software.size()), kWow64Node)) {
        return std::u16string(path);
    }
    return std::u16string(path.substr(0, software.size())) + kWow64Node +
           std::u16string(path.substr(software.size()));
}

bool IsLogTimePrefix(std::string_view text) {
    if (text.size() < 10 || text.size() > kTimeSize) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kTimePattern[i] == 'd' ? !digit : text[i] != kTimePattern[i]) return false;
    }
    return true;
}

std::variant<RestorePlan, LogRefusal> ReadRunLog(std::istream& in, const RestoreFilter& filter,
                                                 const CodePageConverter& converter,
                                                 const AnsiCodePage& codePage) {
    LogReader reader(filter, converter, codePage);
    // One byte more than the longest line the log writes, so that a longer one stops the read.
    std::array<char, LogRecord::kLineCapacity + 1> line{};
    std::size_t number = 0;
    for (;;) {
        in.getline(line.data(), static_cast<std::streamsize>(line.size()));
        const auto read = static_cast<std::size_t>(in.gcount());
        if (read == 0 && in.eof()) break;
        if (in.fail() && !in.eof()) return LogRefusal{number + 1, kLineExpected};
        ++number;
        std::string_view text(line.data(), in.eof() ? read : read - 1);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        if (std::optional<LogRefusal> refusal = reader.Line(number, text)) return *refusal;
        if (in.eof()) break;
    }
    if (number == 0) return LogRefusal{1, kLineExpected};
    return reader.Finish();
}

}  // namespace instdll::inspect
