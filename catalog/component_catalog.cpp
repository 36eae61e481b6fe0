#include "catalog/component_catalog.h"

#include <algorithm>

namespace instdll {

bool CatalogKeyLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

std::pair<ComponentRecord&, bool> ComponentCatalog::InsertIfAbsent(const std::string& key,
                                                                   const ComponentRecord& record) {
    auto [it, inserted] = entries_.try_emplace(key, record);
    return {it->second, inserted};
}

ComponentRecord* ComponentCatalog::Find(const std::string& key) {
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

}  // namespace instdll
