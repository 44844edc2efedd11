// Waiting stub: a process that only exists, to be found by its executable name and ended by the
// code under test. Tests copy it under the name they need (mplayer.exe, QuenVox.exe, ...).
//
// Contract: "waiter_gui.exe [SECONDS]" does nothing until it is terminated, or until SECONDS
// (default 120) have passed, when it exits with code 0; the limit only keeps a forgotten stub from
// outliving its test. It opens no window and reads no input.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    DWORD seconds = 120;
    if (commandLine != nullptr && *commandLine != '\0') {
        char* end = nullptr;
        unsigned long given = std::strtoul(commandLine, &end, 10);
        if (end != commandLine && given <= 86400) seconds = static_cast<DWORD>(given);
    }
    Sleep(seconds * 1000);
    return 0;
}
