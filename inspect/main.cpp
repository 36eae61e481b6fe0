#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "inspect/tool.h"

#ifdef _WIN32
#include <windows.h>

#include "inspect/unicode_text.h"

// The arguments arrive as UTF-16 whatever the console's code page, and the answer goes out as
// UTF-8.
int wmain(int argc, wchar_t** argv) {
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::u16string argument(reinterpret_cast<const char16_t*>(argv[i]));
        arguments.push_back(instdll::inspect::ShownUtf8(argument));
    }
#else
int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
#endif
    try {
        return instdll::inspect::RunInspect(arguments, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << instdll::inspect::kMessagePrefix << error.what() << "\n";
        return 2;
    }
}
