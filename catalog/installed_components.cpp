#include "catalog/installed_components.h"

namespace instdll {

int InstalledComponents::InitV7Info() { return 0; }

int InstalledComponents::FindISUInCatalog(const char*, char* logFileName) {
    if (logFileName != nullptr) logFileName[0] = '\0';
    return 0;
}

int InstalledComponents::RemoveAllInCatExcept(const char*, const char*) { return 1; }

}  // namespace instdll
