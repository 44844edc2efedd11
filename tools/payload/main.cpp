// payload-tool: makes, lists, checks and unpacks the installer's payload container.
#include "payload/commands.h"

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#include <io.h>

// The wide entry point: arguments arrive whole, whatever the ANSI code page holds.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        int length = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
        WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, argument.data(), length, nullptr, nullptr);
        argument.resize(argument.size() - 1);
        arguments.push_back(std::move(argument));
    }
    // The tool writes UTF-8; a console shows it as such only when told.
    if (_isatty(_fileno(stdout)) || _isatty(_fileno(stderr))) SetConsoleOutputCP(CP_UTF8);
    return payload_tool::RunCommandLine(arguments);
}
#else
int main(int argc, char** argv) {
    return payload_tool::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
