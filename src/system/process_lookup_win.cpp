#include "system/process_lookup.h"

#include "system/ansi_text_win.h"
#include "system/path_text.h"
#include "system/system_multibyte_rules.h"
#include "system/win_resource.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// PROCESS_ALL_ACCESS as defined before Windows Vista; the later, wider mask is refused by older
// systems.
constexpr DWORD kLegacyAllAccess = 0x1F0FFF;

// A process still listed after this many termination requests (its open or termination refused,
// or it is slow to leave the list) is passed over, so that the ones listed after it are reached.
constexpr int kRequestsPerProcess = 3;
// Bounds the loop even if processes of the name keep appearing.
constexpr int kMaxPasses = 100;

const ProcessSystemCalls* g_testCalls = nullptr;

HANDLE TakeSnapshot(DWORD flags = TH32CS_SNAPALL, DWORD processId = 0) {
    if (g_testCalls != nullptr) {
        return static_cast<HANDLE>(g_testCalls->createSnapshot(flags, processId));
    }
    return CreateToolhelp32Snapshot(flags, processId);
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

// The first listed process named `name` whose id is not in `passedOver` and that `accept` takes
// (every one when it is empty).
ProcessId FindFirstProcess(const char* name, const std::vector<ProcessId>& passedOver,
                           const std::function<bool(ProcessId)>& accept = {}) {
    const std::wstring wanted = FoldedName(name);
    if (wanted.empty()) return kNoProcess;
    // Released on every path; a failed snapshot shows as a failed first read.
    UniqueFileHandle snapshot(TakeSnapshot());
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;  // 296 bytes in the 32-bit build
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        entry.szExeFile[std::size(entry.szExeFile) - 1] = '\0';
        auto id = static_cast<ProcessId>(entry.th32ProcessID);
        if (FoldedName(entry.szExeFile) == wanted &&
            std::find(passedOver.begin(), passedOver.end(), id) == passedOver.end() &&
            (!accept || accept(id))) {
            return id;
        }
    }
    return kNoProcess;
}

// The path in its long form when the system can give it, else as it is.
std::string LongPath(const std::string& path) {
    PathBuffer longPath{};
    DWORD length = GetLongPathNameA(path.c_str(), longPath.data(), kPathBufferSize);
    return length > 0 && length < kPathBufferSize ? std::string(longPath.data(), length) : path;
}

// Full path of a process's executable (its first module), or empty when it cannot be read.
std::string ImagePath(ProcessId processId) {
    // A module list read while the process loads a module may fail once with ERROR_BAD_LENGTH.
    for (int attempt = 0; attempt < 3; ++attempt) {
        UniqueFileHandle modules(TakeSnapshot(TH32CS_SNAPMODULE, static_cast<DWORD>(processId)));
        if (!modules) {
            if (GetLastError() == ERROR_BAD_LENGTH) continue;
            return {};
        }
        MODULEENTRY32 module{};
        module.dwSize = sizeof module;
        if (!Module32First(modules.get(), &module)) return {};
        module.szExePath[std::size(module.szExePath) - 1] = '\0';
        return LongPath(module.szExePath);
    }
    return {};
}

// Asks the process to end and gives it up to `exitWaitMs` to do so.
void EndProcess(ProcessId processId, std::uint32_t exitWaitMs) {
    UniqueHandle process(OpenForTermination(processId));
    if (!process) return;
    RequestTermination(process.get());
    if (exitWaitMs > 0) WaitForSingleObject(process.get(), exitWaitMs);
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

bool TerminateProcessesByName(const char* name, const char* folder, std::uint32_t exitWaitMs) {
    std::function<bool(ProcessId)> inFolder;
    std::vector<ProcessId> elsewhere;
    const std::string wantedFolder = folder != nullptr ? LongPath(folder) : std::string();
    if (folder != nullptr) {
        inFolder = [&](ProcessId id) {
            if (std::find(elsewhere.begin(), elsewhere.end(), id) != elsewhere.end()) return false;
            if (IsPathInsideFolder(ImagePath(id), wantedFolder, SystemMultibyteRules())) {
                return true;
            }
            elsewhere.push_back(id);
            return false;
        };
    }

    std::map<ProcessId, int> requests;
    std::vector<ProcessId> passedOver;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        ProcessId process = FindFirstProcess(name, passedOver, inFolder);
        if (process == kNoProcess) return passedOver.empty();
        if (exitWaitMs == 0) {
            TerminateProcessById(process);
        } else {
            EndProcess(process, exitWaitMs);
        }
        if (++requests[process] >= kRequestsPerProcess) passedOver.push_back(process);
    }
    return false;
}

void SetProcessSystemCallsForTesting(const ProcessSystemCalls* calls) {
    g_testCalls = calls;
}
