/* InstDLL.dll: installer helper functions for a product family's setup program.
 *
 * Every string is zero-terminated 8-bit text in the system's ANSI code page; every result is a
 * 32-bit int. A null input string counts as empty; a null output buffer is never written. */
#ifndef INSTDLL_H
#define INSTDLL_H

#ifdef __cplusplus
extern "C" {
#endif

#ifndef INSTDLL_API
#define INSTDLL_API __declspec(dllimport)
#endif

/* 1 if the caller may open the service control manager with read, write and execute rights
 * (an administrator), else 0. */
INSTDLL_API int __stdcall CheckPrivileges(void);

/* Names the uninstall log of `directory` (with its trailing backslash). `logFileName` must hold
 * 256 bytes. 1 and the log's file name, or 0 and an empty string. */
INSTDLL_API int __stdcall FindISUInCatalog(const char* directory, char* logFileName);

/* Builds the catalogue of installed components from the registry. 1 if at least one of the
 * two registry roots could be opened, else 0. */
INSTDLL_API int __stdcall InitV7Info(void);

/* Adds `title` under `valueName` to the current user's title list, numbered ("title #1", ...)
 * when another value holds it already. 0, or the registry error that kept the list closed;
 * 87 (ERROR_INVALID_PARAMETER) for a title that does not fit 255 bytes with its number. */
INSTDLL_API int __stdcall RegDBAddToTitles(const char* valueName, const char* title);

/* Deletes value `valueName` ("" for the default value) of HKEY_LOCAL_MACHINE\`subKey`, creating
 * the key if it is missing. Always 0. */
INSTDLL_API int __stdcall RegDBDeleteValue(const char* subKey, const char* valueName);

/* Deletes the registry records of the other components logged in `directory` whose uninstall
 * arguments differ from `argumentsToKeep`, and lowers the component counter. Always 1. */
INSTDLL_API int __stdcall RemoveAllInCatExcept(const char* directory, const char* argumentsToKeep);

/* Lets the user confirm or change the directory in `path` (in and out; 260 bytes) in a folder
 * picker: Russian, English or Ukrainian. 1 if the user pressed Select, else 0 with `path`
 * unchanged. */
INSTDLL_API int __stdcall SelectCatalog(char* path);
INSTDLL_API int __stdcall SelectCatalogEng(char* path);
INSTDLL_API int __stdcall SelectCatalogUkr(char* path);

/* Shows `targetFile` in a message box captioned `first`, then stores `first` and `second`
 * (without their terminating zeros) as RT_RCDATA resources 300 and 301, language neutral, in
 * `targetFile`. Always 0. */
INSTDLL_API int __stdcall WriteUserParams(const char* targetFile, const char* first,
                                          const char* second);

#ifdef __cplusplus
}
#endif

#endif /* INSTDLL_H */
