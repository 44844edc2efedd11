// Waiting stub: a process that only exists, to be found by its executable name and ended by the
// code under test. Tests copy it under the name they need (mplayer.exe, QuenVox.exe, ...).
//
// Contract: "waiter_gui.exe [SECONDS]" does nothing until it is terminated, or until SECONDS
// (default 120) have passed, when it exits with code 0; the limit only keeps a forgotten stub from
// outliving its test. "waiter_gui.exe forever" has no limit: only a termination ends it, so a test
// that sees it gone knows that it was ended (the test's own process owner and the end of the test
// prefix's Wine server end a forgotten one). It opens no window and reads no input.
#include <windows.h>

#include <cstdlib>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    DWORD milliseconds = 120 * 1000;
    if (commandLine != nullptr && std::strcmp(commandLine, "forever") == 0) {
        milliseconds = INFINITE;
    } else if (commandLine != nullptr && *commandLine != '\0') {
        char* end = nullptr;
        unsigned long given = std::strtoul(commandLine, &end, 10);
        if (end != commandLine && given <= 86400) milliseconds = static_cast<DWORD>(given) * 1000;
    }
    Sleep(milliseconds);
    return 0;
}
