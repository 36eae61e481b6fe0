/* Resources of the self-test program; plain macros, so that the resource compiler reads them. */
#ifndef INSTDLL_SELFTEST_IDS_H
#define INSTDLL_SELFTEST_IDS_H

/* The signed executable the stamping check copies. */
#define IDR_SIGNED_TARGET 1

#endif
