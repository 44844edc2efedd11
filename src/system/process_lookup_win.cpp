#include "system/process_lookup.h"

#include "install/product_constants.h"
#include "system/ansi_text_win.h"
#include "system/win_resource.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

// PROCESS_ALL_ACCESS as defined before Windows Vista; the later, wider mask is refused by older
// systems.
constexpr DWORD kLegacyAllAccess = 0x1F0FFF;

// A player still listed after this many termination requests (its open or termination refused, or
// it is slow to leave the list) is passed over, so that the players listed after it are reached.
constexpr int kRequestsPerPlayer = 3;
// Bounds the player loop even if players keep appearing.
constexpr int kMaxPlayerPasses = 100;

const ProcessSystemCalls* g_testCalls = nullptr;

HANDLE TakeSnapshot() {
    if (g_testCalls != nullptr) {
        return static_cast<HANDLE>(g_testCalls->createSnapshot(TH32CS_SNAPALL, 0));
    }
    return CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0);
}

HANDLE OpenForTermination(ProcessId processId) {
    auto id = static_cast<DWORD>(processId);
    if (g_testCalls != nullptr) {
        return static_cast<HANDLE>(g_testCalls->openProcess(kLegacyAllAccess, false, id));
    }
    return OpenProcess(kLegacyAllAccess, FALSE, id);
}

void RequestTermination(HANDLE process) {
    if (g_testCalls != nullptr) {
        g_testCalls->terminateProcess(process, 0);
    } else {
        TerminateProcess(process, 0);
    }
}

// Upper-cased by the system's mapping, character by character: letters match regardless of case,
// and a double-byte character only as a whole (its trail byte is never taken for a letter).
std::wstring FoldedName(const char* name) {
    std::wstring wide = AnsiToWide(name);
    if (!wide.empty()) CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return wide;
}

// The first listed process named `name` whose id is not in `passedOver`.
ProcessId FindFirstProcess(const char* name, const std::vector<ProcessId>& passedOver) {
    const std::wstring wanted = FoldedName(name);
    if (wanted.empty()) return kNoProcess;
    // Released on every path; a failed snapshot shows as a failed first read.
    UniqueFileHandle snapshot(TakeSnapshot());
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;  // 296 bytes in the 32-bit build
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        entry.szExeFile[MAX_PATH - 1] = '\0';
        auto id = static_cast<ProcessId>(entry.th32ProcessID);
        if (FoldedName(entry.szExeFile) == wanted &&
            std::find(passedOver.begin(), passedOver.end(), id) == passedOver.end()) {
            return id;
        }
    }
    return kNoProcess;
}

}  // namespace

ProcessId FindProcessByName(const char* name) {
    return FindFirstProcess(name, {});
}

void TerminateProcessById(ProcessId processId) {
    // The handle serves this one request and is closed as soon as it has been made.
    UniqueHandle process(OpenForTermination(processId));
    if (process) RequestTermination(process.get());
}

void TerminateProductProcesses() {
    if (ProcessId product = FindProcessByName(kMainProcessName); product != kNoProcess) {
        TerminateProcessById(product);
    }

    std::map<ProcessId, int> requests;
    std::vector<ProcessId> passedOver;
    for (int pass = 0; pass < kMaxPlayerPasses; ++pass) {
        ProcessId player = FindFirstProcess(kPlayerProcessName, passedOver);
        if (player == kNoProcess) return;
        TerminateProcessById(player);
        if (++requests[player] >= kRequestsPerPlayer) passedOver.push_back(player);
    }
}

void SetProcessSystemCallsForTesting(const ProcessSystemCalls* calls) {
    g_testCalls = calls;
}
