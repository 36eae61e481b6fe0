#include <nlohmann/json.hpp>

#include "inspect/report.h"
#include "inspect/shown_text.h"

namespace instdll::inspect {
namespace {

// Keys stay in the order they are written: readers and tests look for them in that order.
using Json = nlohmann::ordered_json;

const char* ScanName(ScannedKey scanned) {
    return scanned == ScannedKey::UninstallRoot ? "uninstall" : "product";
}

const char* ReasonName(SkipReason reason) {
    switch (reason) {
        case SkipReason::NoFamilyPrefix:
            return "noFamilyPrefix";
        case SkipReason::NotOpened:
            return "notOpened";
        case SkipReason::ValueMissing:
            return "valueMissing";
        case SkipReason::ValueTooLong:
            return "valueTooLong";
        case SkipReason::ValueUnread:
            return "valueUnread";
        case SkipReason::KeyTaken:
            return "keyTaken";
    }
    return "";
}

Json Counter(const std::optional<ValueSnapshot>& counter) {
    return counter ? Json(Number(counter->data)) : Json(nullptr);
}

class JsonReport final : public Report {
public:
    JsonReport(std::ostream& out, const CodePageConverter& converter, unsigned codePage,
               RegistryView view)
        : out_(out), text_(converter), codePage_(codePage), view_(view) {}

    void Catalogue(const std::vector<Unrepresentable>& left,
                   const CatalogueAnswer& answer) override {
        Json report = Begin(left);
        report["initV7Info"] = answer.initResult;
        Json& catalogue = report["catalogue"] = Json::array();
        for (const auto& [key, record] : answer.entries) {
            Json entry;
            entry["key"] = text_(key);
            for (const RecordField& field : kRecordFields) {
                entry[field.name] = field.text == nullptr ? Json(record.RegMethod)
                                                          : Json(text_(record.*field.text));
            }
            catalogue.push_back(std::move(entry));
        }
        Json& skippedList = report["skipped"] = Json::array();
        for (const SkippedSubkey& skipped : answer.skipped) {
            Json entry;
            entry["scan"] = ScanName(skipped.scanned);
            entry["subkey"] = text_(skipped.name);
            entry["reason"] = ReasonName(skipped.reason);
            entry["value"] = skipped.value;
            skippedList.push_back(std::move(entry));
        }
        Write(report);
    }

    void Find(const std::vector<Unrepresentable>& left, const std::string& directory,
              const FindAnswer& answer) override {
        Json report = Begin(left);
        Json& find = report["findISUInCatalog"];
        find["directory"] = text_(directory);
        find["result"] = answer.result;
        find["logFile"] = text_(answer.logFile);
        Write(report);
    }

    void Prune(const std::vector<Unrepresentable>& left, const std::string& directory,
               const std::string& argumentsToKeep, const PruneAnswer& answer) override {
        Json report = Begin(left);
        Json& prune = report["removeAllInCatExcept"];
        prune["directory"] = text_(directory);
        prune["keep"] = text_(argumentsToKeep);
        Json& pruned = prune["pruned"] = Json::array();
        for (const std::string& key : answer.prunedKeys) pruned.push_back(text_(key));
        Json& deletions = prune["deletions"] = Json::array();
        for (const KeyDeletion& deletion : answer.deletions) {
            Json entry;
            entry["key"] = text_(deletion.path);
            entry["result"] = deletion.result;
            Json& values = entry["values"] = Json::array();
            for (const ValueSnapshot& value : deletion.values) values.push_back(Value(value));
            deletions.push_back(std::move(entry));
        }
        Json& counter = prune["counter"];
        counter["before"] = Counter(answer.counterBefore);
        counter["after"] = Counter(answer.counterAfter);
        counter["written"] = answer.counterWrite.has_value();
        Write(report);
    }

    void Title(const std::vector<Unrepresentable>& left, const std::string& valueName,
               const std::string& title, const TitleAnswer& answer) override {
        Json report = Begin(left);
        Json& titles = report["regDBAddToTitles"];
        titles["valueName"] = text_(valueName);
        titles["title"] = text_(title);
        titles["result"] = answer.result;
        titles["stored"] = answer.stored ? Value(*answer.stored) : Json(nullptr);
        titles["outcome"] = TitleOutcome(answer);
        Write(report);
    }

private:
    Json Value(const ValueSnapshot& value) const {
        Json json;
        json["name"] = text_(value.name);
        json["type"] = value.type;
        if (IsTextType(value.type)) json["text"] = text_.Data(value.data);
        json["hex"] = HexBytes(value.data);
        return json;
    }

    Json Begin(const std::vector<Unrepresentable>& left) const {
        Json report;
        report["codePage"] = codePage_;
        report["view"] = {{"dll", view_.dllBits()}, {"wow6432Node", view_.redirected()}};
        Json& list = report["unrepresentable"] = Json::array();
        for (const Unrepresentable& item : left) {
            Json entry;
            entry["key"] = item.keyPath;
            if (!item.keyName) entry["value"] = item.defaultValue ? "@" : item.valueName;
            list.push_back(std::move(entry));
        }
        return report;
    }

    void Write(const Json& report) { out_ << report.dump() << "\n"; }

    std::ostream& out_;
    ShownText text_;
    unsigned codePage_;
    RegistryView view_;
};

}  // namespace

std::unique_ptr<Report> MakeJsonReport(std::ostream& out, const CodePageConverter& converter,
                                       unsigned codePage, RegistryView view) {
    return std::make_unique<JsonReport>(out, converter, codePage, view);
}

}  // namespace instdll::inspect
