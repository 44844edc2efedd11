// Finding running programs by name and ending them, with real processes: the waiting stub copied
// under the names a case needs. The three system calls pass through a recording seam that
// forwards to the system, so that a case can see which snapshots, opens and terminations were made,
// and, where Wine cannot be made to refuse, refuse an open or a termination itself.
#include "install/product_constants.h"
#include "install/product_processes.h"
#include "process_support.h"
#include "system/process_lookup.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct SnapshotCall {
    std::uint32_t flags;
    std::uint32_t processId;
    HANDLE snapshot;
};
struct OpenCall {
    std::uint32_t access;
    bool inheritHandle;
    DWORD processId;
    HANDLE process;
};
struct TerminateCall {
    DWORD processId;  // of the handle, as opened
    std::uint32_t exitCode;
    bool operator==(const TerminateCall&) const = default;
};

// What the seam saw, and which processes it makes the system refuse.
struct SystemCallLog {
    std::vector<SnapshotCall> snapshots;
    std::vector<OpenCall> opens;
    std::vector<TerminateCall> terminations;
    std::vector<DWORD> refuseOpen;
    std::vector<DWORD> refuseTermination;
    bool failSnapshots = false;
};
SystemCallLog* g_log = nullptr;

bool Contains(const std::vector<DWORD>& ids, DWORD id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

void* RecordSnapshot(std::uint32_t flags, std::uint32_t processId) {
    HANDLE snapshot =
        g_log->failSnapshots ? INVALID_HANDLE_VALUE : CreateToolhelp32Snapshot(flags, processId);
    g_log->snapshots.push_back({flags, processId, snapshot});
    return snapshot;
}

void* RecordOpen(std::uint32_t access, bool inheritHandle, std::uint32_t processId) {
    HANDLE process = Contains(g_log->refuseOpen, processId)
                         ? nullptr
                         : OpenProcess(access, inheritHandle, processId);
    g_log->opens.push_back({access, inheritHandle, processId, process});
    return process;
}

bool RecordTerminate(void* process, std::uint32_t exitCode) {
    DWORD id = 0;
    for (const OpenCall& open : g_log->opens) {
        if (open.process == process) id = open.processId;
    }
    g_log->terminations.push_back({id, exitCode});
    if (Contains(g_log->refuseTermination, id)) return false;
    return TerminateProcess(static_cast<HANDLE>(process), exitCode) != FALSE;
}

const ProcessSystemCalls kRecordingCalls{RecordSnapshot, RecordOpen, RecordTerminate};

bool HandleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

class ProcessLookupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scratch = wt::MakeScratchDirectory("proc");
        ASSERT_FALSE(scratch.empty());
        g_log = &log;
        SetProcessSystemCallsForTesting(&kRecordingCalls);
    }
    void TearDown() override {
        SetProcessSystemCallsForTesting(nullptr);
        g_log = nullptr;
    }

    // Starts the waiting stub as `name`, each in a folder of its own.
    wt::StartedProcess Start(const std::string& name) {
        std::string folder = scratch + "\\" + std::to_string(++folders_);
        CreateDirectoryA(folder.c_str(), nullptr);
        return wt::StartWaiterAs(folder, name);
    }

    // Every handle the code under test obtained has been closed again. Checked right after the
    // call, before anything else in the test can be given a handle of the same value.
    void ExpectEveryHandleClosed() const {
        for (const SnapshotCall& call : log.snapshots) {
            if (call.snapshot != INVALID_HANDLE_VALUE) {
                EXPECT_FALSE(HandleIsOpen(call.snapshot));
            }
        }
        for (const OpenCall& call : log.opens) {
            if (call.process != nullptr) {
                EXPECT_FALSE(HandleIsOpen(call.process));
            }
        }
    }

    std::string scratch;
    SystemCallLog log;

  private:
    int folders_ = 0;
};

std::vector<DWORD> TerminatedIds(const SystemCallLog& log) {
    std::vector<DWORD> ids;
    for (const TerminateCall& call : log.terminations) ids.push_back(call.processId);
    return ids;
}

}  // namespace

TEST_F(ProcessLookupTest, FindsTheWholeNameWithoutRegardToCase) {
    struct Case {
        const char* running;
        const char* lookedUp;
        bool found;
    };
    const Case cases[] = {
        {"mplayer.exe", "mplayer.exe", true},
        {"MPLAYER.EXE", "mplayer.exe", true},
        {"mplayer.exe", "MPlayer.EXE", true},
        {"QuenVox.exe", "QuenVox.exe", true},
        {"QuenVox.exe", "quenvox.EXE", true},
        {"xmplayer.exe", "mplayer.exe", false},
        {"mplayer.exe.bak", "mplayer.exe", false},
        {"mplayer.exe", "mplayer", false},
        {"mplayer.exe", "layer.exe", false},
        {"QuenVox.exe", "mplayer.exe", false},
        // Double-byte characters match as whole characters: B0 41 and B0 61 are two different
        // characters, not one in two cases, while full-width a (A3 E1) is the lower case of
        // full-width A (A3 C1).
        {"\xB0\x41.exe", "\xB0\x41.EXE", true},
        {"\xB0\x41.exe", "\xB0\x61.exe", false},
        {"\xA3\xE1.exe", "\xA3\xC1.exe", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.running) + " looked up as " + c.lookedUp);
        wt::StartedProcess process = Start(c.running);
        ASSERT_TRUE(process);
        log.snapshots.clear();
        ProcessId found = FindProcessByName(c.lookedUp);
        ExpectEveryHandleClosed();
        EXPECT_EQ(found, c.found ? static_cast<ProcessId>(process.id()) : kNoProcess);
        ASSERT_EQ(log.snapshots.size(), 1u);
        EXPECT_EQ(log.snapshots[0].flags, static_cast<std::uint32_t>(TH32CS_SNAPALL));
        EXPECT_EQ(log.snapshots[0].processId, 0u);
    }
}

TEST_F(ProcessLookupTest, TheFirstListedProcessWins) {
    wt::StartedProcess first = Start("mplayer.exe");
    wt::StartedProcess second = Start("mplayer.exe");
    ASSERT_TRUE(first && second);
    std::vector<DWORD> listed = wt::ListedProcessIds("mplayer.exe");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(FindProcessByName("mplayer.exe"), static_cast<ProcessId>(listed[0]));
}

TEST_F(ProcessLookupTest, AnUnreadableProcessListFindsNothing) {
    wt::StartedProcess player = Start("mplayer.exe");
    ASSERT_TRUE(player);
    log.failSnapshots = true;
    EXPECT_EQ(FindProcessByName("mplayer.exe"), kNoProcess);
    EXPECT_EQ(log.snapshots.size(), 1u);
}

TEST_F(ProcessLookupTest, TerminateProcessByIdEndsTheProcessAndClosesItsHandle) {
    wt::StartedProcess player = Start("mplayer.exe");
    ASSERT_TRUE(player);
    TerminateProcessById(static_cast<ProcessId>(player.id()));
    ExpectEveryHandleClosed();
    ASSERT_TRUE(player.WaitForExit(30000));
    DWORD exitCode = 1;
    ASSERT_TRUE(GetExitCodeProcess(player.handle(), &exitCode));
    EXPECT_EQ(exitCode, 0u);
    ASSERT_EQ(log.opens.size(), 1u);
    EXPECT_EQ(log.opens[0].access, 0x1F0FFFu);
    EXPECT_FALSE(log.opens[0].inheritHandle);
    ASSERT_EQ(log.terminations.size(), 1u);
    EXPECT_EQ(log.terminations[0].exitCode, 0u);

    // No process has the id -1: the open is refused, nothing is requested and nothing reported.
    TerminateProcessById(kNoProcess);
    ASSERT_EQ(log.opens.size(), 2u);
    EXPECT_EQ(log.opens[1].process, nullptr);
    EXPECT_EQ(log.terminations.size(), 1u);
}

TEST_F(ProcessLookupTest, TerminateProductProcessesEndsTheFirstProductAndEveryPlayer) {
    struct Case {
        int products;
        int players;
        std::size_t snapshots;  // one product lookup, then one player lookup per pass
    };
    const Case cases[] = {
        {0, 0, 2},  // neither running: two lookups, nothing ended
        {1, 0, 2},  // the product, then one player lookup
        {2, 0, 2},  // only the product listed first is ended
        {0, 2, 4},  // both players, the one listed first first
        {1, 2, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.products) + " products, " + std::to_string(c.players) +
                     " players");
        std::vector<wt::StartedProcess> started;
        for (int i = 0; i < c.products; ++i) started.push_back(Start(kMainProcessName));
        for (int i = 0; i < c.players; ++i) started.push_back(Start(kPlayerProcessName));
        for (const wt::StartedProcess& process : started) ASSERT_TRUE(process);
        std::vector<DWORD> products = wt::ListedProcessIds(kMainProcessName);
        std::vector<DWORD> players = wt::ListedProcessIds(kPlayerProcessName);
        ASSERT_EQ(products.size(), static_cast<std::size_t>(c.products));
        ASSERT_EQ(players.size(), static_cast<std::size_t>(c.players));
        log = SystemCallLog{};

        TerminateProductProcesses();
        ExpectEveryHandleClosed();

        std::vector<DWORD> expected;
        if (!products.empty()) expected.push_back(products[0]);
        expected.insert(expected.end(), players.begin(), players.end());
        EXPECT_EQ(TerminatedIds(log), expected);
        EXPECT_EQ(log.snapshots.size(), c.snapshots);
        for (const wt::StartedProcess& process : started) {
            if (Contains(expected, process.id())) {
                EXPECT_TRUE(process.WaitForExit(30000)) << process.id();
            } else {
                EXPECT_TRUE(process.Running()) << process.id();
            }
        }
    }
}

TEST_F(ProcessLookupTest, APlayerThatSurvivesIsPassedOverAndTheOthersAreStillEnded) {
    enum class Refusal { Open, Termination };
    for (Refusal refusal : {Refusal::Open, Refusal::Termination}) {
        SCOPED_TRACE(refusal == Refusal::Open ? "open refused" : "termination refused");
        wt::StartedProcess survivor = Start(kPlayerProcessName);
        wt::StartedProcess other = Start(kPlayerProcessName);
        ASSERT_TRUE(survivor && other);
        ASSERT_EQ(wt::ListedProcessIds(kPlayerProcessName),
                  (std::vector<DWORD>{survivor.id(), other.id()}));
        log = SystemCallLog{};
        (refusal == Refusal::Open ? log.refuseOpen : log.refuseTermination)
            .push_back(survivor.id());

        TerminateProductProcesses();
        ExpectEveryHandleClosed();

        // Three requests to the survivor, then the next player is reached; the loop then ends
        // although the survivor is still listed.
        auto opensOf = [&](DWORD id) {
            return std::count_if(log.opens.begin(), log.opens.end(),
                                 [&](const OpenCall& o) { return o.processId == id; });
        };
        EXPECT_EQ(opensOf(survivor.id()), 3);
        EXPECT_EQ(opensOf(other.id()), 1);
        EXPECT_TRUE(other.WaitForExit(30000));
        EXPECT_TRUE(survivor.Running());
        EXPECT_EQ(wt::ListedProcessIds(kPlayerProcessName), std::vector<DWORD>{survivor.id()});
        // One product lookup, four player passes and the lookup that finds no one left.
        EXPECT_EQ(log.snapshots.size(), 6u);
    }
}

TEST_F(ProcessLookupTest, TerminateProcessesByNameEndsThoseInTheFolderAndWaitsForThem) {
    const std::string folder = scratch + "\\product";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((folder + "\\sub").c_str(), nullptr));
    wt::StartedProcess inside = wt::StartWaiterAs(folder, kMainProcessName);
    wt::StartedProcess deeper = wt::StartWaiterAs(folder + "\\sub", kMainProcessName);
    wt::StartedProcess elsewhere = Start(kMainProcessName);  // another folder
    wt::StartedProcess sibling = Start("QuenVox.exe.bak");   // another name
    ASSERT_TRUE(inside && deeper && elsewhere && sibling);
    log = SystemCallLog{};

    // The folder is named in other case and with a trailing separator: the same folder.
    std::string spelled = folder + "\\";
    CharUpperA(spelled.data());
    EXPECT_TRUE(TerminateProcessesByName(kMainProcessName, spelled.c_str(), 10000));
    ExpectEveryHandleClosed();
    // Both were waited for: they have ended by the time the call returns.
    EXPECT_TRUE(inside.WaitForExit(0));
    EXPECT_TRUE(deeper.WaitForExit(0));
    EXPECT_TRUE(elsewhere.Running());
    EXPECT_TRUE(sibling.Running());
    EXPECT_EQ(TerminatedIds(log), (std::vector<DWORD>{inside.id(), deeper.id()}));
    // The image of each candidate was read from its module list.
    std::vector<DWORD> moduleSnapshots;
    for (const SnapshotCall& call : log.snapshots) {
        if (call.flags == TH32CS_SNAPMODULE) moduleSnapshots.push_back(call.processId);
    }
    EXPECT_NE(std::find(moduleSnapshots.begin(), moduleSnapshots.end(), elsewhere.id()),
              moduleSnapshots.end());

    // Without a folder, every process of the name is ended.
    log = SystemCallLog{};
    wt::StartedProcess another = Start(kMainProcessName);
    ASSERT_TRUE(another);
    EXPECT_TRUE(TerminateProcessesByName(kMainProcessName));
    EXPECT_TRUE(elsewhere.WaitForExit(30000));
    EXPECT_TRUE(another.WaitForExit(30000));
    EXPECT_TRUE(sibling.Running());
    for (const SnapshotCall& call : log.snapshots) {
        EXPECT_EQ(call.flags, static_cast<std::uint32_t>(TH32CS_SNAPALL));
    }
}

TEST_F(ProcessLookupTest, TerminateProcessesByNameTellsOfASurvivorAndStillEndsTheRest) {
    const std::string folder = scratch + "\\product";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    wt::StartedProcess survivor = wt::StartWaiterAs(folder, kMainProcessName);
    ASSERT_TRUE(CreateDirectoryA((folder + "\\2").c_str(), nullptr));
    wt::StartedProcess other = wt::StartWaiterAs(folder + "\\2", kMainProcessName);
    ASSERT_TRUE(survivor && other);
    log = SystemCallLog{};
    log.refuseTermination.push_back(survivor.id());

    EXPECT_FALSE(TerminateProcessesByName(kMainProcessName, folder.c_str(), 200));
    ExpectEveryHandleClosed();
    EXPECT_TRUE(other.WaitForExit(0));
    EXPECT_TRUE(survivor.Running());
    EXPECT_EQ(std::count(log.terminations.begin(), log.terminations.end(),
                         TerminateCall{survivor.id(), 0}),
              3);

    // A folder that holds neither: nothing is ended, and that counts as done.
    log = SystemCallLog{};
    EXPECT_TRUE(TerminateProcessesByName(kMainProcessName, (scratch + "\\none").c_str(), 200));
    EXPECT_TRUE(log.terminations.empty());
    EXPECT_TRUE(survivor.Running());
}
