#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace instdll {

// A resource type or name: a number, or a name when the number is 0.
struct ResourceId {
    WORD number = 0;
    std::string name;

    const char* get() const { return number != 0 ? MAKEINTRESOURCEA(number) : name.c_str(); }
    bool operator==(const ResourceId& other) const {
        return number == other.number && name == other.name;
    }
};

struct Resource {
    ResourceId type;
    ResourceId name;
    WORD language = 0;
    std::string bytes;
};

// Every resource of a PE file, read as the loader reads a data file; none when it cannot be
// loaded. What gathering throws (std::bad_alloc) is thrown once the enumeration has returned.
std::vector<Resource> ReadResources(const std::string& path);

}  // namespace instdll
