#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "inspect/code_page_converter.h"
#include "inspect/questions.h"
#include "inspect/registry_import.h"

namespace instdll::inspect {

// Prints answers as readable tables or as one JSON object, text in UTF-8.
class Report {
public:
    Report(std::ostream& out, const CodePageConverter& converter, unsigned codePage, bool json)
        : out_(out), converter_(converter), codePage_(codePage), json_(json) {}

    // Each prints one whole answer, preceded by the names the code page could not hold.
    void Catalogue(const std::vector<Unrepresentable>& left, const CatalogueAnswer& answer);
    void Find(const std::vector<Unrepresentable>& left, const std::string& directory,
              const FindAnswer& answer);
    void Prune(const std::vector<Unrepresentable>& left, const std::string& directory,
               const std::string& argumentsToKeep, const PruneAnswer& answer);
    void Title(const std::vector<Unrepresentable>& left, const std::string& valueName,
               const std::string& title, const TitleAnswer& answer);

private:
    std::string Text(const std::string& ansi) const;
    std::string Quoted(const std::string& ansi) const;
    std::string TextData(const std::vector<std::uint8_t>& data) const;
    std::string ValueData(const ValueSnapshot& value) const;
    std::string JsonValue(const ValueSnapshot& value) const;
    std::string Counter(const std::optional<ValueSnapshot>& counter) const;
    void Begin(const std::vector<Unrepresentable>& left);
    void End();

    std::ostream& out_;
    const CodePageConverter& converter_;
    unsigned codePage_;
    bool json_;
};

}  // namespace instdll::inspect
