#include <string>

#include "inspect/report.h"
#include "inspect/shown_text.h"
#include "registry/registry_paths.h"

namespace instdll::inspect {
namespace {

constexpr int kFieldWidth = 15;

const char* ScanName(ScannedKey scanned) {
    return scanned == ScannedKey::UninstallRoot ? "uninstall list" : "product key   ";
}

std::string ReasonText(const SkippedSubkey& skipped) {
    const std::string value = "\"" + skipped.value + "\"";
    switch (skipped.reason) {
        case SkipReason::NoFamilyPrefix:
            return std::string("no \"") + kFamilyPrefix + "\" prefix";
        case SkipReason::NotOpened:
            return "does not open with full access";
        case SkipReason::ValueMissing:
            return "no value " + value;
        case SkipReason::ValueTooLong:
            return value + " does not fit " + std::to_string(kRegistryTextBuffer) + " bytes";
        case SkipReason::ValueUnread:
            return value + " cannot be read";
        case SkipReason::KeyTaken:
            return "an earlier entry has its catalogue key";
    }
    return {};
}

// Which DLL the answer is for, and where its HKEY_LOCAL_MACHINE\SOFTWARE keys are.
std::string ViewText(RegistryView view) {
    const std::string dll = "the " + std::to_string(view.dllBits()) + "-bit DLL's, ";
    if (view.redirected()) return dll + "HKEY_LOCAL_MACHINE\\SOFTWARE under " + kWow6432NodeName;
    if (view.dllBits() == 32) return dll + "keys where they are named";
    return dll + kWow6432NodeName + " not read";
}

std::string Counter(const std::optional<ValueSnapshot>& counter) {
    return counter ? std::to_string(Number(counter->data)) : "absent";
}

class TableReport final : public Report {
public:
    TableReport(std::ostream& out, const CodePageConverter& converter, unsigned codePage,
                RegistryView view)
        : out_(out), text_(converter), codePage_(codePage), view_(view) {}

    void Catalogue(const std::vector<Unrepresentable>& left,
                   const CatalogueAnswer& answer) override {
        Heading(left);
        out_ << "InitV7Info() = " << answer.initResult << "\n\n"
             << "Catalogue, " << answer.entries.size() << " entries in catalogue order:\n";
        for (const auto& [key, record] : answer.entries) {
            out_ << "\n" << Quoted(key) << "\n";
            for (const RecordField& field : kRecordFields) {
                const std::string name = field.name;
                out_ << "  " << name << std::string(kFieldWidth - name.size(), ' ')
                     << (field.text == nullptr ? std::to_string(record.RegMethod)
                                               : Quoted(record.*field.text))
                     << "\n";
            }
        }
        out_ << "\nSkipped subkeys, " << answer.skipped.size() << ":\n";
        for (const SkippedSubkey& skipped : answer.skipped) {
            out_ << "  " << ScanName(skipped.scanned) << "  " << Quoted(skipped.name) << "  "
                 << ReasonText(skipped) << "\n";
        }
    }

    void Find(const std::vector<Unrepresentable>& left, const std::string& directory,
              const FindAnswer& answer) override {
        Heading(left);
        out_ << "FindISUInCatalog(" << Quoted(directory) << ") = " << answer.result << ", log file "
             << Quoted(answer.logFile) << "\n";
    }

    void Prune(const std::vector<Unrepresentable>& left, const std::string& directory,
               const std::string& argumentsToKeep, const PruneAnswer& answer) override {
        Heading(left);
        out_ << "RemoveAllInCatExcept(" << Quoted(directory) << ", " << Quoted(argumentsToKeep)
             << ") prunes " << answer.prunedKeys.size() << " components:";
        for (const std::string& key : answer.prunedKeys) out_ << " " << Quoted(key);
        out_ << "\n\nDeletes:\n";
        for (const KeyDeletion& deletion : answer.deletions) {
            out_ << "  " << text_(deletion.path);
            if (deletion.result != kErrorSuccess) {
                out_ << "  (fails with error " << deletion.result << ", nothing deleted)\n";
                continue;
            }
            out_ << "\n";
            for (const ValueSnapshot& value : deletion.values) {
                out_ << "    " << Value(value) << "\n";
            }
        }
        out_ << "\nComponent counter: " << Counter(answer.counterBefore) << " -> "
             << Counter(answer.counterAfter) << (answer.counterWrite ? "" : " (not written)")
             << "\n";
    }

    void Title(const std::vector<Unrepresentable>& left, const std::string& valueName,
               const std::string& title, const TitleAnswer& answer) override {
        Heading(left);
        out_ << "RegDBAddToTitles(" << Quoted(valueName) << ", " << Quoted(title)
             << ") = " << answer.result << ", " << TitleOutcome(answer);
        if (answer.stored) out_ << ": " << Value(*answer.stored);
        out_ << "\n";
    }

private:
    std::string Quoted(const std::string& ansi) const { return '"' + text_(ansi) + '"'; }

    std::string Value(const ValueSnapshot& value) const {
        const std::string name = value.name.empty() ? "@" : Quoted(value.name);
        std::string data;
        if (IsTextType(value.type)) {
            data = '"' + text_.Data(value.data) + '"';
        } else if (value.type == kRegDword && value.data.size() == 4) {
            data = "dword " + std::to_string(Number(value.data));
        } else {
            data = "hex " + HexBytes(value.data);
        }
        return name + " type " + std::to_string(value.type) + " = " + data;
    }

    void Heading(const std::vector<Unrepresentable>& left) {
        out_ << "Registry view: " << ViewText(view_) << "\n\n";
        if (left.empty()) return;
        out_ << "Left out, not representable in code page " << codePage_ << ":\n";
        for (const Unrepresentable& item : left) {
            out_ << "  " << item.keyPath;
            if (!item.keyName) {
                out_ << "  " << (item.defaultValue ? "@" : "\"" + item.valueName + "\"");
            }
            out_ << "\n";
        }
        out_ << "\n";
    }

    std::ostream& out_;
    ShownText text_;
    unsigned codePage_;
    RegistryView view_;
};

}  // namespace

std::unique_ptr<Report> MakeTableReport(std::ostream& out, const CodePageConverter& converter,
                                        unsigned codePage, RegistryView view) {
    return std::make_unique<TableReport>(out, converter, codePage, view);
}

}  // namespace instdll::inspect
