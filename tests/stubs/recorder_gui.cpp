// Recorder stub: stands in for a program that the code under test starts (a browser, the product)
// so that a test can see that it was started and with which command line.
//
// Contract: started with any command line, it appends that command line exactly as the system gave
// it (GetCommandLineA), followed by one line feed, to the file named by its own path with ".log"
// added (C:\x\browser.exe records into C:\x\browser.exe.log), then exits with code 0 at once. Each
// start adds one line, written with a single call, so a reader that sees a final line feed has the
// whole line. It opens no window and never waits: a starter that waits for the new program to
// become idle returns as soon as it has exited.
#include <windows.h>

#include <array>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::array<char, MAX_PATH + 8> own{};
    DWORD length = GetModuleFileNameA(nullptr, own.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    std::string logPath = std::string(own.data(), length) + ".log";
    std::string line = std::string(GetCommandLineA()) + "\n";

    HANDLE log = CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(log);
    return ok && written == line.size() ? 0 : 1;
}
