#pragma once

#include <map>
#include <string>
#include <utility>

#include "catalog/component_record.h"

namespace instdll {

// Keys order byte by byte as unsigned values: exact, locale-blind, upper-case Latin before
// lower-case, a prefix before the longer key.
struct CatalogKeyLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

// The installed components by catalogue key, walked in key order. The catalogue owns copies of
// the records put into it.
class ComponentCatalog {
public:
    using Entries = std::map<std::string, ComponentRecord, CatalogKeyLess>;

    // Puts `record` under `key` unless the key is present; an existing entry stays exactly as
    // it was. Returns the entry under the key and whether it is new.
    std::pair<ComponentRecord&, bool> InsertIfAbsent(const std::string& key,
                                                     const ComponentRecord& record);
    ComponentRecord* Find(const std::string& key);
    // Removes one entry; returns the entry after it in key order.
    Entries::const_iterator Erase(Entries::const_iterator position) {
        return entries_.erase(position);
    }

    Entries::const_iterator begin() const { return entries_.begin(); }
    Entries::const_iterator end() const { return entries_.end(); }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

private:
    Entries entries_;
};

}  // namespace instdll
