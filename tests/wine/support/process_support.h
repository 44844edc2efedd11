// Helpers for tests that start and watch real processes: the stub programs (tests/stubs) copied
// under the names a test needs, the process list read independently of the code under test, and
// the record files that the recorder stub writes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wt {

// Folder holding the stub programs, with a trailing backslash: the value of SETUP_STUB_DIR when
// set (a test program running from a copy elsewhere sets it for itself), else the test program's
// own folder, where the build puts them.
std::string StubDirectory();

// Copies the stub `stub` ("waiter_gui", "recorder_gui") to `destination` (a full path whose name
// is the one the test needs). False when the copy fails.
bool CopyStub(const std::string& stub, const std::string& destination);

// A process started by a test. Ended (and waited for) when the owner goes, unless it has exited.
class StartedProcess {
  public:
    StartedProcess() = default;
    StartedProcess(HANDLE process, DWORD id) : process_(process), id_(id) {}
    StartedProcess(StartedProcess&& other) noexcept;
    StartedProcess& operator=(StartedProcess&& other) noexcept;
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;
    ~StartedProcess();

    explicit operator bool() const { return process_ != nullptr; }
    DWORD id() const { return id_; }
    HANDLE handle() const { return process_; }
    // True once the process has ended, waiting at most `milliseconds`.
    bool WaitForExit(DWORD milliseconds) const;
    bool Running() const { return process_ != nullptr && !WaitForExit(0); }

  private:
    void End();
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Starts `path` with `arguments`; an empty owner when the system refuses.
StartedProcess StartProgram(const std::string& path, const std::string& arguments = {});

// Copies the waiting stub into `directory` as `name` and starts it with `lifetime` (its seconds,
// or "forever"; empty for its default); the process is listed under that name when this returns.
StartedProcess StartWaiterAs(const std::string& directory, const std::string& name,
                             const std::string& lifetime = {});

// Ids of the listed processes whose executable name is exactly `name` (bytes compared), in the
// order in which the system lists them.
std::vector<DWORD> ListedProcessIds(const std::string& name);

// Full path of the executable of a running process; empty when it cannot be had.
std::string ProcessImagePath(DWORD processId);

// The file in which the recorder stub copied to `programPath` records its starts.
std::string RecordFileOf(const std::string& programPath);

// The complete lines recorded by the recorder stub at `programPath` once at least `count` are
// there, waiting at most `milliseconds`; whatever complete lines exist when the wait ends.
std::vector<std::string> WaitForRecordedLines(const std::string& programPath, std::size_t count,
                                              DWORD milliseconds = 30000);

// The lines recorded so far, without waiting.
std::vector<std::string> RecordedLines(const std::string& programPath);

// `text` between double quotes, as a program path stands in a command line.
std::string Quoted(const std::string& text);

// The arguments of a command line: what follows its first token (quoted or not) and the blanks
// after it.
std::string ArgumentsOf(const std::string& commandLine);

}  // namespace wt
