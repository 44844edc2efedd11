#include "install/product_processes.h"

#include "install/product_constants.h"
#include "system/process_lookup.h"

#include <windows.h>
#include <shellapi.h>

bool IsProductOrPlayerRunning(int playerLookups) {
    bool running = FindProcessByName(kMainProcessName) != kNoProcess;
    for (int lookups = 0; lookups < playerLookups; ++lookups) {
        if (FindProcessByName(kPlayerProcessName) == kNoProcess) break;
        running = true;
    }
    return running;
}

void TerminateProductProcesses() {
    // Only the first: a second running instance of the product is left alone.
    if (ProcessId product = FindProcessByName(kMainProcessName); product != kNoProcess) {
        TerminateProcessById(product);
    }
    TerminateProcessesByName(kPlayerProcessName);
}

void StartMainProgramUnlessRunning(const std::string& installDir) {
    if (FindProcessByName(kMainProcessName) != kNoProcess) return;
    // The started program inherits the installer's current directory.
    std::string program = installDir + kMainProgramTail;
    ShellExecuteA(GetDesktopWindow(), "open", program.c_str(), nullptr, nullptr, SW_SHOW);
}
