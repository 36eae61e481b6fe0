#include "utilities/small_utilities.h"

namespace instdll {

void DeleteMachineValue(RegistryAccess&, const char*, const char*) {}
bool CallerIsAdministrator() { return false; }
void StampUserParams(const char*, const char*, const char*) {}

}  // namespace instdll
