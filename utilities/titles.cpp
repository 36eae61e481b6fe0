#include "utilities/titles.h"

namespace instdll {

long AddToTitles(RegistryAccess&, const char*, const char*) { return 0; }

}  // namespace instdll
