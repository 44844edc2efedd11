// One installation run end to end on a worker thread, for a test owner that records every call,
// the thread it came on and what had happened by then. Unpacking, registration, the product start
// and the browser are all real: the payload holds the waiting stub as QuenVox.exe, and a recorder
// stub is the registered browser.
//
// The worker looks for "Data.cab" in the directory of the running program, which is fixed for the
// life of a process. So this program runs its tests in a copy of itself placed in a scratch folder
// of its own (see main below); each case writes, or removes, the payload beside that copy. Nothing
// is written into the build tree and no other test program shares the folder.
#include "framework/thread.h"
#include "install/install_owner.h"
#include "install/install_state.h"
#include "install/install_worker.h"
#include "install/product_constants.h"
#include "installer_fixture.h"
#include "process_support.h"
#include "registry_support.h"
#include "shortcut_support.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr char kCopyVariable[] = "SETUP_INSTALL_WORKER_COPY";
// Named apart from the installer's own constants, which this file sees too.
constexpr auto& kRunKeyPath = wt::kRunKey;
constexpr auto& kUninstallEntryPath = wt::kUninstallKey;
constexpr auto& kCommandKey = wt::kHtmlCommandKey;
constexpr char kFailureMessage[] = "安装失败,请重新下载新的安装包!";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

struct Entry {
    std::string directory;
    std::string file;
    std::vector<unsigned char> data;
};

void PutU32(std::vector<unsigned char>& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<unsigned char>(value >> shift));
}

// A payload container: the entry count, then each entry's names, size and bytes.
std::vector<unsigned char> Container(const std::vector<Entry>& entries) {
    std::vector<unsigned char> bytes;
    PutU32(bytes, static_cast<std::uint32_t>(entries.size()));
    for (const Entry& entry : entries) {
        bytes.insert(bytes.end(), entry.directory.begin(), entry.directory.end());
        bytes.push_back(0);
        bytes.insert(bytes.end(), entry.file.begin(), entry.file.end());
        bytes.push_back(0);
        PutU32(bytes, static_cast<std::uint32_t>(entry.data.size()));
        bytes.insert(bytes.end(), entry.data.begin(), entry.data.end());
    }
    return bytes;
}

// What could be seen of the installation when the owner was called.
struct Observation {
    bool lastFileWritten = false;
    bool desktopShortcut = false;
    bool uninstallEntry = false;
    int productsFromInstallDir = 0;  // running QuenVox.exe started from the install directory
    std::size_t browserStarts = 0;
};

struct OwnerCall {
    std::string operation;
    std::string argument;
    DWORD thread;
    std::int32_t installing;
    Observation seen;
};

class WorkerTest;

// The worker's thread, noted before the worker runs; read once the thread has ended.
DWORD g_workerThread = 0;

UINT __cdecl WorkerEntry(LPVOID owner) {
    g_workerThread = GetCurrentThreadId();
    return InstallThreadProc(owner);
}

// The test owner: records each call with its thread, the installing flag and an observation, and
// follows a script for the check box (its state after given progress positions).
class RecordingOwner : public InstallOwner {
  public:
    RecordingOwner(const WorkerTest& test, std::string installPath, int check,
                   std::map<int, int> checkAfter = {})
        : test_(test),
          installPath_(std::move(installPath)),
          check_(check),
          checkAfter_(std::move(checkAfter)) {}

    std::string GetInstallPath() override {
        Record("GetInstallPath", {});
        return installPath_;
    }
    void SetProgressPos(int position) override {
        Record("SetProgressPos", std::to_string(position));
        if (auto change = checkAfter_.find(position); change != checkAfter_.end())
            check_ = change->second;
    }
    int GetAutoRunCheck() override {
        Record("GetAutoRunCheck", {});
        return check_;
    }
    void SetInstallButtonText(const char* text) override { Record("SetInstallButtonText", text); }
    void OnCancel() override { Record("OnCancel", {}); }
    void ReportUnpackFailure(const UnpackOutcome& outcome) override {
        Record("ReportUnpackFailure", UnpackOutcomeText(outcome));
    }

    std::vector<OwnerCall> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

  private:
    void Record(const char* operation, const std::string& argument);

    const WorkerTest& test_;
    std::string installPath_;
    int check_;
    std::map<int, int> checkAfter_;
    mutable std::mutex mutex_;
    std::vector<OwnerCall> calls_;
};

class WorkerTest : public ::testing::Test {
  public:
    Observation Observe() const {
        Observation seen;
        seen.lastFileWritten = wt::FileExistsAt(installDir + "\\data\\readme.txt");
        seen.desktopShortcut = wt::FileExistsAt(desktopShortcut);
        seen.uninstallEntry = wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntryPath);
        for (DWORD id : wt::ListedProcessIds(kMainProcessName)) {
            if (Lower(wt::ProcessImagePath(id)) == Lower(installDir + kMainProgramTail))
                ++seen.productsFromInstallDir;
        }
        seen.browserStarts = wt::RecordedLines(browser).size();
        return seen;
    }

  protected:
    void SetUp() override {
        scratch = wt::MakeScratchDirectory("run");
        ASSERT_FALSE(scratch.empty());
        installDir = scratch + "\\QuenVox";
        payloadPath = wt::ProgramDirectory() + kPayloadFileName;
        DeleteFileA(payloadPath.c_str());
        waiterBytes = wt::ReadFileBytes(wt::StubDirectory() + "waiter_gui.exe");
        ASSERT_FALSE(waiterBytes.empty());

        browser = scratch + "\\browser.exe";
        ASSERT_TRUE(wt::CopyStub("recorder_gui", browser));
        ASSERT_TRUE(wt::DeleteRegistryTree(HKEY_CLASSES_ROOT, kCommandKey));
        ASSERT_TRUE(wt::WriteRegistryString(HKEY_CLASSES_ROOT, kCommandKey, "",
                                            wt::Quoted(browser) + " \"%1\""));

        desktopShortcut = wt::DesktopFolder() + "\\澜舟雅韵.lnk";
        programsShortcut = wt::ProgramsFolder() + "\\澜舟雅韵.lnk";
        programGroup = wt::ProgramsFolder() + "\\澜舟雅韵";
        ResetTraces();
    }

    // No trace of an earlier run: no registration, no running product, no browser start. The Run
    // key is only opened by the registration, never created, and a fresh prefix has none.
    void ResetTraces() {
        EndProducts();
        ASSERT_TRUE(wt::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallEntryPath));
        ASSERT_TRUE(wt::CreateRegistryKey(HKEY_LOCAL_MACHINE, kRunKeyPath));
        HKEY run = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKeyPath, 0, KEY_SET_VALUE, &run),
                  ERROR_SUCCESS);
        RegDeleteValueA(run, "Quenvox");
        RegCloseKey(run);
        DeleteFileA(desktopShortcut.c_str());
        DeleteFileA(programsShortcut.c_str());
        WIN32_FIND_DATAA found{};
        HANDLE search = FindFirstFileA((programGroup + "\\*.lnk").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileA((programGroup + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(programGroup.c_str());
        DeleteFileA(wt::RecordFileOf(browser).c_str());
    }

    void TearDown() override {
        EndProducts();
        DeleteFileA(payloadPath.c_str());
    }

    static void EndProducts() {
        for (DWORD id : wt::ListedProcessIds(kMainProcessName)) {
            HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
            if (process == nullptr) continue;
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
    }

    // The usual payload: the product (the waiting stub) and one more file in a subfolder.
    std::vector<unsigned char> ProductPayload() const {
        return Container(
            {{"", "QuenVox.exe", waiterBytes}, {"\\data", "readme.txt", {'a', 'b', 'c'}}});
    }

    // Runs InstallThreadProc on a worker thread started the framework's way, as the dialog does,
    // and waits for it to return; its exit code.
    DWORD RunWorker(RecordingOwner& owner) {
        g_bInstalling = 1;
        InstallOwner* base = &owner;
        UniqueHandle thread = AfxBeginThread(WorkerEntry, base);
        if (!thread) return 0xFFFFFFFF;
        WaitForSingleObject(thread.get(), INFINITE);
        workerThread = g_workerThread;
        DWORD exitCode = 0xFFFFFFFF;
        GetExitCodeThread(thread.get(), &exitCode);
        return exitCode;
    }

    // Runs the worker for `owner`, which must make exactly `operations`, in order, and end the run
    // as every run ends; `calls` gets the calls for the case's own checks.
    void RunWorkerExpecting(RecordingOwner& owner, const std::vector<std::string>& operations,
                            std::vector<OwnerCall>& calls) {
        EXPECT_EQ(RunWorker(owner), 0u);
        calls = owner.Calls();
        ASSERT_EQ(Operations(calls), operations);
        ExpectTheRunsEnding(calls);
    }

    static std::vector<std::string> Operations(const std::vector<OwnerCall>& calls) {
        std::vector<std::string> operations;
        for (const OwnerCall& call : calls) operations.push_back(call.operation);
        return operations;
    }

    // Every call came on the worker thread; the flag was set until the caption changed, then clear;
    // the caption is "完成" in code page 936; OnCancel came last.
    void ExpectTheRunsEnding(const std::vector<OwnerCall>& calls) const {
        ASSERT_FALSE(calls.empty());
        bool finished = false;
        for (const OwnerCall& call : calls) {
            EXPECT_EQ(call.thread, workerThread) << call.operation;
            EXPECT_EQ(call.installing, finished ? 0 : 1) << call.operation;
            if (call.operation == "SetInstallButtonText") {
                EXPECT_EQ(call.argument, "\xCD\xEA\xB3\xC9");
                finished = true;
            }
        }
        EXPECT_NE(workerThread, GetCurrentThreadId());
        EXPECT_EQ(calls.back().operation, "OnCancel");
        // The home page was opened before the owner was asked to close.
        EXPECT_EQ(calls.back().seen.browserStarts, 1u);
        EXPECT_EQ(wt::WaitForRecordedLines(browser, 1),
                  std::vector<std::string>{wt::Quoted(Lower(browser)) + " http://www.quenvox.com"});
    }

    bool RunValueWritten() const {
        return wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kRunKeyPath, "Quenvox").has_value();
    }

    std::string scratch;
    std::string installDir;
    std::string payloadPath;
    std::string browser;
    std::string desktopShortcut;
    std::string programsShortcut;
    std::string programGroup;
    std::vector<unsigned char> waiterBytes;
    DWORD workerThread = 0;
};

void RecordingOwner::Record(const char* operation, const std::string& argument) {
    OwnerCall call{operation, argument, GetCurrentThreadId(), g_bInstalling.load(),
                   test_.Observe()};
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

}  // namespace

TEST_F(WorkerTest, RunsEveryStepInOrder) {
    ASSERT_TRUE(wt::WriteFileBytes(payloadPath, ProductPayload()));
    RecordingOwner owner(*this, installDir, 1);
    wt::MessageBoxAnswerer answerer;

    std::vector<OwnerCall> calls;
    ASSERT_NO_FATAL_FAILURE(
        RunWorkerExpecting(owner,
                           {"GetInstallPath", "SetProgressPos", "SetProgressPos", "GetAutoRunCheck",
                            "GetInstallPath", "SetInstallButtonText", "GetInstallPath", "OnCancel"},
                           calls));
    EXPECT_EQ(calls[1].argument, "50");
    EXPECT_EQ(calls[2].argument, "100");
    // Unpacking before registration; the check box is read after the last file is written.
    EXPECT_FALSE(calls[1].seen.desktopShortcut);
    EXPECT_FALSE(calls[2].seen.desktopShortcut);
    EXPECT_TRUE(calls[3].seen.lastFileWritten);
    EXPECT_FALSE(calls[3].seen.desktopShortcut);
    EXPECT_FALSE(calls[3].seen.uninstallEntry);
    // Registration is done when the run is marked finished; nothing has been started yet.
    EXPECT_TRUE(calls[5].seen.desktopShortcut);
    EXPECT_TRUE(calls[5].seen.uninstallEntry);
    EXPECT_EQ(calls[5].seen.productsFromInstallDir, 0);
    EXPECT_EQ(calls[5].seen.browserStarts, 0u);
    EXPECT_EQ(calls[6].seen.productsFromInstallDir, 0);
    // The installed product was started once before the owner was asked to close.
    EXPECT_EQ(calls[7].seen.productsFromInstallDir, 1);
    EXPECT_EQ(wt::ListedProcessIds(kMainProcessName).size(), 1u);
    EXPECT_TRUE(RunValueWritten());
    EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(WorkerTest, WithoutPayloadItTellsTheUserRegistersNothingAndStillFinishes) {
    // An earlier installation's program is still in the target directory: it is what starts.
    ASSERT_TRUE(CreateDirectoryA(installDir.c_str(), nullptr));
    ASSERT_TRUE(wt::WriteFileBytes(installDir + kMainProgramTail, waiterBytes));
    RecordingOwner owner(*this, installDir, 1);
    wt::MessageBoxAnswerer answerer(IDOK);

    std::vector<OwnerCall> calls;
    ASSERT_NO_FATAL_FAILURE(RunWorkerExpecting(
        owner, {"ReportUnpackFailure", "SetInstallButtonText", "GetInstallPath", "OnCancel"},
        calls));
    // The owner is asked to tell the user, before the run is marked finished.
    EXPECT_EQ(calls[0].argument, kFailureMessage);
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_FALSE(wt::FileExistsAt(desktopShortcut));
    EXPECT_FALSE(wt::FileExistsAt(programsShortcut));
    EXPECT_FALSE(wt::DirectoryExists(programGroup));
    EXPECT_FALSE(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntryPath));
    EXPECT_FALSE(RunValueWritten());
    EXPECT_EQ(calls.back().seen.productsFromInstallDir, 1);
}

TEST_F(WorkerTest, APayloadCutShortIsRefusedWholeAndNothingIsRegistered) {
    std::vector<unsigned char> cut = ProductPayload();
    cut.resize(cut.size() - 1);
    ASSERT_TRUE(wt::WriteFileBytes(payloadPath, cut));
    RecordingOwner owner(*this, installDir, 1);
    wt::MessageBoxAnswerer answerer;

    std::vector<OwnerCall> calls;
    ASSERT_NO_FATAL_FAILURE(
        RunWorkerExpecting(owner,
                           {"GetInstallPath", "ReportUnpackFailure", "SetInstallButtonText",
                            "GetInstallPath", "OnCancel"},
                           calls));
    EXPECT_EQ(calls[1].argument, kFailureMessage);
    EXPECT_FALSE(wt::DirectoryExists(installDir));
    EXPECT_FALSE(wt::FileExistsAt(desktopShortcut));
    EXPECT_FALSE(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntryPath));
    EXPECT_FALSE(RunValueWritten());
}

TEST_F(WorkerTest, AFileThatCannotBeWrittenIsReportedWithItsPathAndNothingIsRegistered) {
    // A folder stands where the last file must go.
    ASSERT_TRUE(CreateDirectoryA(installDir.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((installDir + "\\data").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((installDir + "\\data\\readme.txt").c_str(), nullptr));
    ASSERT_TRUE(wt::WriteFileBytes(payloadPath, ProductPayload()));
    RecordingOwner owner(*this, installDir, 1);
    wt::MessageBoxAnswerer answerer;

    std::vector<OwnerCall> calls;
    ASSERT_NO_FATAL_FAILURE(RunWorkerExpecting(
        owner,
        {"GetInstallPath", "SetProgressPos", "SetProgressPos", "ReportUnpackFailure",
         "SetInstallButtonText", "GetInstallPath", "OnCancel"},
        calls));
    EXPECT_EQ(calls[3].argument, "无法写入文件:\n" + installDir +
                                     "\\data\\readme.txt\n请关闭正在使用该文件的程序或检查磁盘后"
                                     "重新安装!");
    EXPECT_FALSE(wt::FileExistsAt(desktopShortcut));
    EXPECT_FALSE(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntryPath));
    // No file was replaced: the product that came before it in the payload is not there either.
    EXPECT_FALSE(wt::FileExistsAt(installDir + kMainProgramTail));
}

TEST_F(WorkerTest, AnEmptyPayloadIsStillRegistered) {
    ASSERT_TRUE(wt::WriteFileBytes(payloadPath, Container({})));
    RecordingOwner owner(*this, installDir, 1);
    wt::MessageBoxAnswerer answerer;

    std::vector<OwnerCall> calls;
    ASSERT_NO_FATAL_FAILURE(
        RunWorkerExpecting(owner,
                           {"GetInstallPath", "GetAutoRunCheck", "GetInstallPath",
                            "SetInstallButtonText", "GetInstallPath", "OnCancel"},
                           calls));
    EXPECT_TRUE(wt::FileExistsAt(desktopShortcut));
    EXPECT_TRUE(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntryPath));
    EXPECT_TRUE(RunValueWritten());
    // No program to start: the launch fails without a word.
    EXPECT_EQ(calls.back().seen.productsFromInstallDir, 0);
    EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(WorkerTest, TheCheckBoxCountsAsItIsAfterTheLastFile) {
    struct Case {
        const char* name;
        int initial;
        std::map<int, int> checkAfter;  // progress position -> state of the box from then on
        bool runValue;
    };
    const Case cases[] = {
        {"cleared during unpacking and left cleared", 1, {{50, 0}}, false},
        {"cleared, then ticked again before the last file", 1, {{50, 0}, {100, 1}}, true},
        {"ticked during unpacking", 0, {{50, 1}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetTraces();
        ASSERT_TRUE(wt::WriteFileBytes(payloadPath, ProductPayload()));
        RecordingOwner owner(*this, installDir, c.initial, c.checkAfter);
        wt::MessageBoxAnswerer answerer;

        EXPECT_EQ(RunWorker(owner), 0u);

        EXPECT_EQ(RunValueWritten(), c.runValue);
        EXPECT_TRUE(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntryPath));
    }
}

TEST_F(WorkerTest, ARunningProductIsNotStartedAgain) {
    std::string elsewhere = scratch + "\\running";
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
    wt::StartedProcess running = wt::StartWaiterAs(elsewhere, kMainProcessName);
    ASSERT_TRUE(running);
    ASSERT_TRUE(wt::WriteFileBytes(payloadPath, ProductPayload()));
    RecordingOwner owner(*this, installDir, 1);
    wt::MessageBoxAnswerer answerer;

    EXPECT_EQ(RunWorker(owner), 0u);

    std::vector<OwnerCall> calls = owner.Calls();
    ExpectTheRunsEnding(calls);
    // The launch would have been listed before the worker went on: only the running one is.
    EXPECT_EQ(wt::ListedProcessIds(kMainProcessName), std::vector<DWORD>{running.id()});
    EXPECT_EQ(calls.back().seen.productsFromInstallDir, 0);
    EXPECT_TRUE(wt::FileExistsAt(installDir + kMainProgramTail));
}

// The tests run in a copy of this program in a scratch folder, so that the payload can lie beside
// the running program; the stubs are still found where the build put them.
int main(int argc, char** argv) {
    if (GetEnvironmentVariableA(kCopyVariable, nullptr, 0) != 0) {
        testing::InitGoogleTest(&argc, argv);
        return RUN_ALL_TESTS();
    }
    std::array<char, MAX_PATH> self{};
    DWORD length = GetModuleFileNameA(nullptr, self.data(), static_cast<DWORD>(self.size()));
    std::string scratch = wt::MakeScratchDirectory("worker");
    std::string copy = scratch + "\\install_worker_test.exe";
    if (length == 0 || length >= self.size() || scratch.empty() ||
        !CopyFileA(self.data(), copy.c_str(), FALSE)) {
        std::fprintf(stderr,
                     "install_worker_test: cannot place a copy of itself in a scratch folder\n");
        return 1;
    }
    SetEnvironmentVariableA(kCopyVariable, "1");
    SetEnvironmentVariableA("SETUP_STUB_DIR", wt::ProgramDirectory().c_str());

    // Same arguments (a test filter, say), same standard handles.
    std::string commandLine = wt::Quoted(copy);
    std::string arguments = wt::ArgumentsOf(GetCommandLineA());
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &info)) {
        std::fprintf(stderr, "install_worker_test: cannot start its copy (error %lu)\n",
                     GetLastError());
        return 1;
    }
    CloseHandle(info.hThread);
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hProcess);
    return static_cast<int>(exitCode);
}
