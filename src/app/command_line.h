// The installer's command line: unattended installs for administrators. Plain C++, so that the
// rules are tested without a process to start.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct SetupCommandLine {
    bool silent = false;  // /S: no window, no message; the outcome is the exit code
    bool noRun = false;   // /NORUN: no Run value
    bool help = false;    // /?
    // /D=<folder>: the install folder, the rest of the line (blanks included), without trailing
    // separators or surrounding quotes.
    std::optional<std::string> targetDir;
    // A switch not understood, or /D= not followed by a folder: set with /S only, where it is a
    // usage error; without /S anything not understood is ignored.
    std::string usageError;
};

// The arguments of a command line as the system gives it (GetCommandLineA): everything after the
// program's own name, which may be quoted.
std::string_view ArgumentsOf(std::string_view commandLine);

// Reads the switches (case-insensitive): /S, /NORUN, /?, and /D=, which takes the rest of the line
// and so must come last.
SetupCommandLine ParseSetupArguments(std::string_view arguments);
