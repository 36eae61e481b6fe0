/* A C caller built against include/InstDLL.h and linked with the import library only: if a
 * declaration, a calling convention or the import library is off, this fails to link or run. */
#include <stdio.h>
#include <string.h>

#include "InstDLL.h"

int main(void) {
    char logFile[256];
    int failures = 0;
    memset(logFile, 'x', sizeof logFile);
    if (FindISUInCatalog("C:\\nowhere\\", logFile) != 0 || logFile[0] != '\0') ++failures;
    if (RemoveAllInCatExcept("C:\\nowhere\\", "") != 1) ++failures;
    if (CheckPrivileges() != 1) ++failures; /* Wine runs its programs as an administrator */
    printf("caller through the import library: %s\n", failures == 0 ? "ok" : "FAILED");
    return failures;
}
