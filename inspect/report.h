#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "inspect/code_page_converter.h"
#include "inspect/questions.h"
#include "inspect/registry_import.h"
#include "registry/registry_view.h"

namespace instdll::inspect {

// Prints whole answers, text in UTF-8, each preceded by the view it is for and the names the code
// page could not hold.
class Report {
public:
    virtual ~Report() = default;

    virtual void Catalogue(const std::vector<Unrepresentable>& left,
                           const CatalogueAnswer& answer) = 0;
    virtual void Find(const std::vector<Unrepresentable>& left, const std::string& directory,
                      const FindAnswer& answer) = 0;
    virtual void Prune(const std::vector<Unrepresentable>& left, const std::string& directory,
                       const std::string& argumentsToKeep, const PruneAnswer& answer) = 0;
    virtual void Title(const std::vector<Unrepresentable>& left, const std::string& valueName,
                       const std::string& title, const TitleAnswer& answer) = 0;
};

// Readable tables, or one JSON object per answer.
std::unique_ptr<Report> MakeTableReport(std::ostream& out, const CodePageConverter& converter,
                                        unsigned codePage, RegistryView view);
std::unique_ptr<Report> MakeJsonReport(std::ostream& out, const CodePageConverter& converter,
                                       unsigned codePage, RegistryView view);

}  // namespace instdll::inspect
