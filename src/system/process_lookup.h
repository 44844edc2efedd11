// Finding running programs by executable name, and ending them by force.
#pragma once

#include <cstdint>

// The id of a process; kNoProcess alone means that no such process was found.
using ProcessId = std::int32_t;
inline constexpr ProcessId kNoProcess = -1;

// Id of the first listed process whose executable file name equals `name` (no directory part)
// without regard to case, under the ANSI code page's multibyte rules; kNoProcess when none, or
// when the process list cannot be read. Every call reads a fresh list.
ProcessId FindProcessByName(const char* name);

// Asks the system to end the process with exit code 0. Reports nothing and does not wait.
void TerminateProcessById(ProcessId processId);

// Ends every listed process whose executable file name is `name` (compared as FindProcessByName
// compares), the first listed first, with a bound so that a process that will not end cannot
// hold the loop: a process still listed after three termination requests is passed over, and
// the lookups stop after 100 passes.
// With a `folder` (a full path), only processes whose image lies inside it are ended; one whose
// image path cannot be read is left alone. After each termination request the process is given
// up to `exitWaitMs` to end, so that its files are free before the next lookup. True when no
// process to end was left listed: false when one survived its requests or the passes ran out.
bool TerminateProcessesByName(const char* name, const char* folder = nullptr,
                              std::uint32_t exitWaitMs = 0);

// Tests only: the three system calls behind these operations (CreateToolhelp32Snapshot, for the
// process list and for a process's modules, OpenProcess, TerminateProcess), so that a test can
// watch them or make the system refuse. Handles are passed as void*; a failed snapshot is
// INVALID_HANDLE_VALUE, a refused open is null.
struct ProcessSystemCalls {
    void* (*createSnapshot)(std::uint32_t flags, std::uint32_t processId);
    void* (*openProcess)(std::uint32_t access, bool inheritHandle, std::uint32_t processId);
    bool (*terminateProcess)(void* process, std::uint32_t exitCode);
};
// Routes all three calls through `calls` (every member set; it must outlive its use); nullptr
// restores the system's own.
void SetProcessSystemCallsForTesting(const ProcessSystemCalls* calls);
