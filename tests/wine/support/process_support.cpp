#include "process_support.h"

#include "wine_test_support.h"

#include <tlhelp32.h>

#include <array>
#include <cstdlib>
#include <utility>

namespace wt {

std::string StubDirectory() {
    std::array<char, MAX_PATH> value{};
    DWORD length =
        GetEnvironmentVariableA("SETUP_STUB_DIR", value.data(), static_cast<DWORD>(value.size()));
    if (length == 0 || length >= value.size()) return ProgramDirectory();
    std::string directory(value.data(), length);
    if (directory.back() != '\\') directory += '\\';
    return directory;
}

bool CopyStub(const std::string& stub, const std::string& destination) {
    return CopyFileA((StubDirectory() + stub + ".exe").c_str(), destination.c_str(), FALSE) !=
           FALSE;
}

StartedProcess::StartedProcess(StartedProcess&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), id_(std::exchange(other.id_, 0)) {}

StartedProcess& StartedProcess::operator=(StartedProcess&& other) noexcept {
    if (this != &other) {
        End();
        process_ = std::exchange(other.process_, nullptr);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

StartedProcess::~StartedProcess() {
    End();
}

bool StartedProcess::WaitForExit(DWORD milliseconds) const {
    return process_ != nullptr && WaitForSingleObject(process_, milliseconds) == WAIT_OBJECT_0;
}

void StartedProcess::End() {
    if (process_ == nullptr) return;
    if (!WaitForExit(0)) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
    process_ = nullptr;
}

StartedProcess StartProgram(const std::string& path, const std::string& arguments) {
    std::string commandLine = Quoted(path);
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return {};
    }
    CloseHandle(info.hThread);
    return StartedProcess(info.hProcess, info.dwProcessId);
}

StartedProcess StartWaiterAs(const std::string& directory, const std::string& name,
                             const std::string& lifetime) {
    std::string path = directory + "\\" + name;
    if (!CopyStub("waiter_gui", path)) return {};
    StartedProcess process = StartProgram(path, lifetime);
    if (!process) return process;
    // The system lists a process once it is created; this only guards against a slow listing.
    for (int attempt = 0; attempt < 500; ++attempt) {
        for (DWORD id : ListedProcessIds(name)) {
            if (id == process.id()) return process;
        }
        Sleep(10);
    }
    return {};
}

std::vector<DWORD> ListedProcessIds(const std::string& name) {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (name == entry.szExeFile) ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

std::string ProcessImagePath(DWORD processId) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return {};
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    std::string path;
    if (Module32First(snapshot, &module)) path = module.szExePath;
    CloseHandle(snapshot);
    return path;
}

std::string RecordFileOf(const std::string& programPath) {
    return programPath + ".log";
}

std::vector<std::string> RecordedLines(const std::string& programPath) {
    std::vector<unsigned char> bytes = ReadFileBytes(RecordFileOf(programPath));
    std::vector<std::string> lines;
    std::string line;
    for (unsigned char byte : bytes) {
        if (byte == '\n') {
            lines.push_back(std::move(line));
            line.clear();
        } else {
            line += static_cast<char>(byte);
        }
    }
    return lines;  // a last line without its line feed is still being written
}

std::vector<std::string> WaitForRecordedLines(const std::string& programPath, std::size_t count,
                                              DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<std::string> lines = RecordedLines(programPath);
        if (lines.size() >= count || GetTickCount() - start >= milliseconds) return lines;
        Sleep(10);
    }
}

std::string Quoted(const std::string& text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
}

std::string ArgumentsOf(const std::string& commandLine) {
    std::size_t end;
    if (!commandLine.empty() && commandLine[0] == '"') {
        end = commandLine.find('"', 1);
        end = end == std::string::npos ? commandLine.size() : end + 1;
    } else {
        end = commandLine.find(' ');
        if (end == std::string::npos) end = commandLine.size();
    }
    std::size_t arguments = commandLine.find_first_not_of(' ', end);
    return arguments == std::string::npos ? std::string() : commandLine.substr(arguments);
}

}  // namespace wt
