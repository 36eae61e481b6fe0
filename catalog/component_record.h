#pragma once

#include <cstdint>
#include <string>

namespace instdll {

// What the two registry sources say about one installed component. Fields 1-5 come from the
// component's subkey under the product key, fields 6-10 from its uninstall entry; a record that
// only one source describes has the other source's texts empty.
struct ComponentRecord {
    std::string ComponentKey;
    std::string Folder;
    std::string PathDir;
    std::string PathFile;
    std::uint32_t RegMethod = 0;
    std::string UninstallKey;
    std::string LogDir;
    std::string LogFile;
    std::string UninstallArgs;
    std::string CustomDll;
};

}  // namespace instdll
