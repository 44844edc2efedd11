// Holding stub: a program that keeps a file open without sharing it, as a running program or a
// scanner may hold a file that an installation has to replace.
//
// Contract: "holder_gui.exe SECONDS PATH" opens the existing file PATH (the rest of the command
// line after SECONDS and one blank, taken as it stands: no quotes) for reading and writing with
// share mode 0 and keeps it open until it is terminated, or until SECONDS have passed, when it
// exits with code 0; the limit only keeps a forgotten stub from outliving its test. It exits with
// code 2 at once when the command line is malformed, 3 when the file cannot be opened. It never
// writes to the file and opens no window. A test knows the file is held once opening it with full
// sharing fails with ERROR_SHARING_VIOLATION.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    if (commandLine == nullptr) return 2;
    char* end = nullptr;
    unsigned long seconds = std::strtoul(commandLine, &end, 10);
    if (end == commandLine || seconds > 86400 || *end != ' ' || end[1] == '\0') return 2;
    const char* path = end + 1;

    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    Sleep(static_cast<DWORD>(seconds) * 1000);
    CloseHandle(file);
    return 0;
}
