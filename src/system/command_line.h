// Splitting a program's command line into its arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The arguments of `commandLine` (as GetCommandLineA gives it): the first token, the program, is
// left out; the rest is split at blanks and tabs, and a quoted part belongs to its argument
// without the quotes ("a b"c gives a bc). Paths hold no quotes, so no escape is understood.
std::vector<std::string> CommandLineArguments(std::string_view commandLine);
