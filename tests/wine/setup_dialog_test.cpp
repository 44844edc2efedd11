// The setup dialog run in this process, where a test can see what another process cannot (the
// system menu, the owner of the About box, the focus) and can stand in for the install worker to
// hold a run at the points that matter. The framework's message box and the start-up hardening
// are checked here too.
#include "dialog_driver.h"
#include "app/dll_search.h"
#include "app/instance_guard.h"
#include "framework/message_box.h"
#include "framework/thread.h"
#include "import_hook.h"
#include "install/install_state.h"
#include "process_support.h"
#include "res/resource.h"
#include "system/process_lookup.h"
#include "ui/setup_dialog.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace {

constexpr char kTitle[] = "澜舟雅韵全球网络收音机Ver:2011-II Build:12019";
constexpr char kFinished[] = "完成";
constexpr DWORD kWorkerWait = 60000;

UniqueHandle MakeEvent() {
    return UniqueHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

// What the test's own install worker does: it moves the progress bar, holds until released,
// marks the run finished as the real worker does, and then either ends the dialog or waits until
// the dialog is gone to try every owner operation on it.
struct WorkerScript {
    InstallOwner* owner = nullptr;
    bool cancelAtEnd = true;
    UniqueHandle release = MakeEvent();
    UniqueHandle finished = MakeEvent();
    UniqueHandle dialogGone = MakeEvent();
    std::string pathAfterEnd;
    int autoRunAfterEnd = -1;
    std::atomic<bool> done{false};
};

UINT __cdecl ScriptedWorker(LPVOID parameter) {
    WorkerScript& script = *static_cast<WorkerScript*>(parameter);
    script.owner->SetProgressPos(40);
    WaitForSingleObject(script.release.get(), kWorkerWait);
    script.owner->SetInstallButtonText(kFinished);
    g_bInstalling = 0;
    SetEvent(script.finished.get());
    if (!script.cancelAtEnd) {
        WaitForSingleObject(script.dialogGone.get(), kWorkerWait);
        script.owner->SetProgressPos(90);
        script.owner->SetInstallButtonText("x");
        script.autoRunAfterEnd = script.owner->GetAutoRunCheck();
        script.pathAfterEnd = script.owner->GetInstallPath();
    }
    script.owner->OnCancel();
    script.done = true;
    return 0;
}

// The setup dialog with a target directory set when it opens and, when a script is given, the
// test's worker in place of the real one.
class ProbeDialog : public SetupDialog {
  public:
    ProbeDialog(WorkerScript* script, std::string presetPath)
        : script_(script), presetPath_(std::move(presetPath)) {}

    int WorkerStarts() const { return starts_; }

  protected:
    BOOL OnInitDialog() override {
        BOOL focus = SetupDialog::OnInitDialog();
        if (!presetPath_.empty()) {
            m_strInstallPath = presetPath_;
            SetDlgItemTextA(m_hWnd, IDC_PATH, presetPath_.c_str());
        }
        return focus;
    }

    UniqueHandle StartInstallWorker() override {
        ++starts_;
        if (script_ == nullptr) return SetupDialog::StartInstallWorker();
        script_->owner = this;
        return AfxBeginThread(ScriptedWorker, script_);
    }

  private:
    WorkerScript* script_;
    std::string presetPath_;
    std::atomic<int> starts_{0};
};

// Runs the dialog modally on this thread while `scenario` drives it from another. A dialog still
// open when the scenario is over (a step failed) is ended, so the test fails instead of hanging.
// `openWait` bounds the wait for the dialog to show.
INT_PTR RunModal(ProbeDialog& dialog, const std::function<void(HWND)>& scenario,
                 DWORD openWait = dd::kWindowWait) {
    std::thread driver([&] {
        HWND window = dd::WaitForDialog(GetCurrentProcessId(), kTitle, openWait);
        EXPECT_NE(window, nullptr) << "the setup dialog did not open";
        if (window != nullptr) scenario(window);
        if (!dd::WaitUntil([&] { return dialog.IsEnded(); }, dd::kWindowWait)) {
            ADD_FAILURE() << "the dialog was still open when the scenario was over";
            g_bInstalling = 0;
            dialog.EndDialog(IDABORT);
        }
    });
    INT_PTR result = dialog.DoModal();
    driver.join();
    return result;
}

bool HasBox(const wt::MessageBoxAnswerer& answerer, const std::string& caption) {
    for (const wt::SeenMessageBox& box : answerer.Seen()) {
        if (box.caption == caption) return true;
    }
    return false;
}

TEST(SetupDialogInProcess, OpensWithTheAboutItemIconsAndFocusAndShowsTheAboutBoxOverItself) {
    g_bInstalling = 0;
    ProbeDialog dialog(nullptr, "");
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    ASSERT_NE(icon, nullptr);
    INT_PTR result = RunModal(dialog, [&](HWND window) {
        HMENU menu = GetSystemMenu(window, FALSE);
        int count = GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        MENUITEMINFOA separator{};
        separator.cbSize = sizeof separator;
        separator.fMask = MIIM_FTYPE;
        ASSERT_TRUE(GetMenuItemInfoA(menu, count - 2, TRUE, &separator));
        EXPECT_NE(separator.fType & MFT_SEPARATOR, 0u);
        EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
        std::array<char, 64> item{};
        GetMenuStringA(menu, count - 1, item.data(), static_cast<int>(item.size()), MF_BYPOSITION);
        EXPECT_STREQ(item.data(), "关于 Setup(&A)...");

        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_BIG, 0)), icon);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_SMALL, 0)), icon);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window, WM_QUERYDRAGICON, 0, 0)), icon);
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui));
        EXPECT_EQ(gui.hwndFocus, GetDlgItem(window, IDOK));

        dd::SystemCommand(window, IDM_ABOUTBOX);
        HWND about = dd::WaitForDialog(GetCurrentProcessId(), "关于 Setup");
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(GetWindow(about, GW_OWNER), window);
        EXPECT_FALSE(IsWindowEnabled(window));
        dd::PressEscape(about);
        EXPECT_TRUE(dd::WaitForWindowGone(about));
        EXPECT_TRUE(
            dd::WaitUntil([&] { return IsWindowEnabled(window) != FALSE; }, dd::kWindowWait));
        EXPECT_FALSE(dialog.IsEnded());
        dd::SystemCommand(window, SC_CLOSE);
    });
    EXPECT_EQ(result, IDCANCEL);
}

uintptr_t __cdecl RefuseThread(void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned,
                               unsigned*) {
    errno = EAGAIN;
    return 0;
}

TEST(SetupDialogInProcess, AWorkerThatCannotStartLeavesTheDialogIdleAndSaysSo) {
    g_bInstalling = 0;
    ProbeDialog dialog(nullptr, "C:\\tests\\never");
    wt::MessageBoxAnswerer answerer(IDOK);
    INT_PTR result = RunModal(dialog, [&](HWND window) {
        {
            // The system refuses every new thread while the OK command is handled.
            wt::ImportHook refuse("msvcrt.dll", "_beginthreadex",
                                  reinterpret_cast<void*>(&RefuseThread));
            ASSERT_TRUE(refuse.Installed());
            dd::Click(window, IDOK);
            ASSERT_TRUE(dd::WaitUntil([&] { return !answerer.Seen().empty(); }, dd::kWindowWait));
        }
        std::vector<wt::SeenMessageBox> seen = answerer.Seen();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, "setup_dialog_test");
        EXPECT_EQ(seen[0].text, "无法启动安装,请重试!");
        EXPECT_EQ(seen[0].icon, static_cast<UINT>(MB_ICONEXCLAMATION));
        EXPECT_EQ(g_bInstalling.load(), 0);
        EXPECT_TRUE(dd::IsControlEnabled(window, IDOK));
        EXPECT_TRUE(dd::IsControlEnabled(window, IDC_BROWSE));
        EXPECT_EQ(dd::ControlText(window, IDOK), "开始安装");
        ASSERT_TRUE(dd::WaitUntil([&] { return dd::MessageBoxes(GetCurrentProcessId()).empty(); },
                                  dd::kWindowWait));
        // The cancel command is effective again.
        dd::PressEscape(window);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.WorkerStarts(), 1);
}

TEST(SetupDialogInProcess, ARunInProgressIgnoresCancelOkBrowseAndANoToTheRunningPrompt) {
    g_bInstalling = 0;
    WorkerScript script;
    ProbeDialog dialog(&script, "C:\\tests\\held");
    wt::MessageBoxAnswerer answerer(IDNO);
    INT_PTR result = RunModal(dialog, [&](HWND window) {
        DWORD self = GetCurrentProcessId();
        dd::Click(window, IDOK);
        // The worker's first message to the progress bar has come through the modal loop.
        ASSERT_TRUE(dd::WaitUntil([&] { return dd::ProgressPosition(window, IDC_PROGRESS) == 40; },
                                  dd::kWindowWait));
        EXPECT_EQ(g_bInstalling.load(), 1);
        EXPECT_FALSE(dd::IsControlEnabled(window, IDOK));
        EXPECT_FALSE(dd::IsControlEnabled(window, IDC_BROWSE));
        EXPECT_TRUE(dd::IsControlEnabled(window, IDC_AUTORUN));

        dd::Click(window, IDOK);
        dd::Click(window, IDOK);
        dd::Click(window, IDCANCEL);
        dd::PressEscape(window);
        dd::SystemCommand(window, SC_CLOSE);
        PostMessageA(window, WM_CLOSE, 0, 0);
        dd::Click(window, IDC_BROWSE);
        PostMessageA(window, WM_TIMER, kRunningPromptTimer, 0);
        // Posted messages are handled in order: once the About box is up, all of the above have
        // been handled.
        dd::SystemCommand(window, IDM_ABOUTBOX);
        HWND about = dd::WaitForDialog(self, "关于 Setup");
        ASSERT_NE(about, nullptr);
        ASSERT_TRUE(dd::WaitUntil([&] { return HasBox(answerer, "提示"); }, dd::kWindowWait));

        EXPECT_EQ(dialog.WorkerStarts(), 1);
        EXPECT_FALSE(dialog.IsEnded());
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(g_bInstalling.load(), 1);
        EXPECT_EQ(dd::ControlText(window, IDOK), "开始安装");
        EXPECT_EQ(dd::ControlText(window, IDC_PATH), "C:\\tests\\held");
        for (const wt::SeenMessageBox& box : answerer.Seen()) {
            if (box.caption != "提示") continue;
            EXPECT_EQ(box.text,
                      "澜舟雅韵全球网络收音机正在运行,需要关闭才能继续安装,\n"
                      "点击(是)立即关闭,点击(否)退出安装。");
            EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONQUESTION));
        }
        // No folder picker came up: the only dialogs are the setup dialog, the About box and
        // the answered prompt.
        for (HWND other : dd::TopLevelWindows(self)) {
            std::string text = dd::Text(other);
            EXPECT_TRUE(other == window || other == about || text == "提示") << text;
        }
        dd::Answer(about, IDOK);
        EXPECT_TRUE(dd::WaitForWindowGone(about));
        // The run ends as every run does: the worker marks it finished and ends the dialog
        // from its own thread.
        SetEvent(script.release.get());
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.WorkerStarts(), 1);
}

TEST(SetupDialogInProcess, OutlivesItsWorkerWhoseOperationsDoNothingOnceTheDialogHasEnded) {
    g_bInstalling = 0;
    WorkerScript script;
    script.cancelAtEnd = false;
    auto dialog = std::make_unique<ProbeDialog>(&script, "C:\\tests\\outlive");
    INT_PTR result = RunModal(*dialog, [&](HWND window) {
        dd::Click(window, IDOK);
        ASSERT_TRUE(dd::WaitUntil([&] { return dd::ProgressPosition(window, IDC_PROGRESS) == 40; },
                                  dd::kWindowWait));
        SetEvent(script.release.get());
        ASSERT_EQ(WaitForSingleObject(script.finished.get(), kWorkerWait), WAIT_OBJECT_0);
        EXPECT_TRUE(dd::WaitUntil([&] { return dd::ControlText(window, IDOK) == kFinished; },
                                  dd::kWindowWait));
        // The user closes the finished dialog before the worker's last steps.
        dd::PressEscape(window);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(script.done);
    SetEvent(script.dialogGone.get());
    dialog.reset();
    // The dialog object went only after the worker's last use of it.
    EXPECT_TRUE(script.done);
    EXPECT_EQ(script.pathAfterEnd, "C:\\tests\\outlive");
    EXPECT_EQ(script.autoRunAfterEnd, 0);
}

TEST(SetupDialogInProcess, OkOnTheFinishedDialogStartsTheProgramUnlessItRunsAndEndsTheDialog) {
    struct Case {
        const char* label;
        bool productRunning;
    };
    const Case cases[] = {{"not running", false}, {"running", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        g_bInstalling = 0;
        std::string installDir = wt::MakeScratchDirectory("finished");
        std::string program = installDir + "\\QuenVox.exe";
        ASSERT_TRUE(wt::CopyStub("recorder_gui", program));
        std::string elsewhere = wt::MakeScratchDirectory("elsewhere");
        WorkerScript script;
        script.cancelAtEnd = false;
        ProbeDialog dialog(&script, installDir);
        wt::StartedProcess running;
        INT_PTR result = RunModal(dialog, [&](HWND window) {
            if (c.productRunning) {
                // Started once the dialog is open: its start found nothing and armed no prompt.
                running = wt::StartWaiterAs(elsewhere, "QuenVox.exe");
                ASSERT_TRUE(running);
            }
            // The run goes as far as the worker's finish, which leaves the dialog open.
            dd::Click(window, IDOK);
            ASSERT_TRUE(dd::WaitUntil(
                [&] { return dd::ProgressPosition(window, IDC_PROGRESS) == 40; }, dd::kWindowWait));
            SetEvent(script.release.get());
            ASSERT_EQ(WaitForSingleObject(script.finished.get(), kWorkerWait), WAIT_OBJECT_0);
            ASSERT_TRUE(dd::WaitUntil([&] { return dd::ControlText(window, IDOK) == kFinished; },
                                      dd::kWindowWait));
            EXPECT_FALSE(dialog.IsEnded());
            // The button is disabled now; the command comes as Enter or another program sends it.
            dd::Click(window, IDOK);
        });
        EXPECT_EQ(result, IDOK);
        SetEvent(script.dialogGone.get());
        EXPECT_TRUE(dd::MessageBoxes(GetCurrentProcessId()).empty());
        EXPECT_EQ(dialog.WorkerStarts(), 1);
        if (c.productRunning) {
            // The program is started before the dialog ends, so a start would have been recorded
            // by now or within moments.
            EXPECT_TRUE(wt::WaitForRecordedLines(program, 1, 3000).empty());
            EXPECT_FALSE(wt::FileExistsAt(wt::RecordFileOf(program)));
            EXPECT_TRUE(running.Running());
        } else {
            EXPECT_EQ(wt::WaitForRecordedLines(program, 1).size(), 1u);
            EXPECT_EQ(wt::WaitForRecordedLines(program, 2, 1000).size(), 1u) << "started twice";
        }
    }
}

// The running check through the process-list seam: each snapshot is counted, reads the real
// process list (with the real stubs below in it) up to a given count and fails after that, which
// the lookup takes as "not running". Opens and terminations are refused and counted: the dialog's
// start ends nothing.
struct RunningCheckCalls {
    std::atomic<int> snapshots{0};
    int listedSnapshots = -1;  // -1: every snapshot reads the real list
    // One real snapshot, taken at the first lookup and handed out again as a duplicate: reading
    // starts over at its first process, and 5001 of them take moments instead of a minute.
    UniqueFileHandle list;
    std::atomic<int> opens{0};
    std::atomic<int> terminations{0};
};
RunningCheckCalls* g_runningCheck = nullptr;

void* CountSnapshot(std::uint32_t flags, std::uint32_t processId) {
    int number = ++g_runningCheck->snapshots;
    if (g_runningCheck->listedSnapshots >= 0 && number > g_runningCheck->listedSnapshots) {
        return INVALID_HANDLE_VALUE;
    }
    // Only the process list is read from it (the flags asked for are checked elsewhere).
    (void)flags;
    if (!g_runningCheck->list) {
        g_runningCheck->list.reset(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, processId));
        if (!g_runningCheck->list) return INVALID_HANDLE_VALUE;
    }
    HANDLE copy = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(GetCurrentProcess(), g_runningCheck->list.get(), GetCurrentProcess(),
                         &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return INVALID_HANDLE_VALUE;
    }
    return copy;
}

void* RefuseOpen(std::uint32_t, bool, std::uint32_t) {
    ++g_runningCheck->opens;
    return nullptr;
}

bool RefuseTermination(void*, std::uint32_t) {
    ++g_runningCheck->terminations;
    return false;
}

const ProcessSystemCalls kCountingCalls{CountSnapshot, RefuseOpen, RefuseTermination};

TEST(SetupDialogInProcess, ItsStartLooksUpTheProductOnceAndThePlayerUpTo5000TimesThenPrompts) {
    struct Case {
        const char* label;
        bool product;
        bool player;
        int listedSnapshots;
        int lookups;
        bool prompt;
    };
    const Case cases[] = {
        {"nothing runs", false, false, -1, 2, false},
        {"the product runs", true, false, -1, 2, true},
        // The player never leaves the list: the product once, then the player 5000 times.
        {"the player stays listed", false, true, -1, 1 + 5000, true},
        // Listed for the first three lookups of it; the fourth finds nothing and ends the loop.
        {"the player leaves the list", false, true, 4, 1 + 4, true},
        // A list that cannot be read counts as nothing running.
        {"the list cannot be read", true, true, 0, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        g_bInstalling = 0;
        std::string folder = wt::MakeScratchDirectory("runcheck");
        wt::StartedProcess product, player;
        if (c.product) {
            product = wt::StartWaiterAs(folder, "QuenVox.exe");
            ASSERT_TRUE(product);
        }
        if (c.player) {
            player = wt::StartWaiterAs(folder, "mplayer.exe", "forever");
            ASSERT_TRUE(player);
        }
        RunningCheckCalls calls;
        calls.listedSnapshots = c.listedSnapshots;
        g_runningCheck = &calls;
        SetProcessSystemCallsForTesting(&kCountingCalls);
        ProbeDialog dialog(nullptr, "");
        INT_PTR result = RunModal(
            dialog,
            [&](HWND window) {
                DWORD self = GetCurrentProcessId();
                // The timer's 500 ms are long past when no prompt has come within 1.5 s.
                std::optional<dd::MessageBoxView> prompt =
                    dd::WaitForMessageBox(self, "提示", c.prompt ? dd::kWindowWait : 1500);
                EXPECT_EQ(calls.snapshots.load(), c.lookups);
                EXPECT_EQ(calls.opens.load(), 0);
                EXPECT_EQ(calls.terminations.load(), 0);
                if (c.prompt) {
                    ASSERT_TRUE(prompt);
                    EXPECT_EQ(prompt->text,
                              "澜舟雅韵全球网络收音机正在运行,需要关闭才能继续安装,\n"
                              "点击(是)立即关闭,点击(否)退出安装。");
                    dd::Answer(prompt->window, IDNO);
                    return;
                }
                EXPECT_FALSE(prompt);
                EXPECT_TRUE(dd::MessageBoxes(self).empty());
                // Idle: enabled, ready to install, not ended.
                EXPECT_FALSE(dialog.IsEnded());
                EXPECT_TRUE(IsWindowEnabled(window));
                EXPECT_TRUE(dd::IsControlEnabled(window, IDOK));
                EXPECT_EQ(dd::ControlText(window, IDOK), "开始安装");
                dd::PressEscape(window);
            },
            dd::kSlowWindowWait);
        SetProcessSystemCallsForTesting(nullptr);
        g_runningCheck = nullptr;
        EXPECT_EQ(result, IDCANCEL);
        // "否" ends the dialog without another lookup.
        EXPECT_EQ(calls.snapshots.load(), c.lookups);
        if (c.player) {
            EXPECT_TRUE(player.Running());
        }
        if (c.product) {
            EXPECT_TRUE(product.Running());
        }
    }
}

TEST(FrameworkMessageBox, TakesTheProgramNameAsCaptionAndTheExclamationIconUnlessGiven) {
    struct Case {
        UINT type;
        int button;
        UINT shownIcon;
    };
    const Case cases[] = {
        {MB_OK, IDOK, MB_ICONEXCLAMATION},
        {MB_YESNO, IDYES, MB_ICONEXCLAMATION},
        {MB_YESNO | MB_ICONQUESTION, IDNO, MB_ICONQUESTION},
        {MB_OK | MB_ICONHAND, IDOK, MB_ICONHAND},
    };
    for (const Case& c : cases) {
        wt::MessageBoxAnswerer answerer(c.button);
        EXPECT_EQ(AfxMessageBox("文本", c.type), c.button);
        std::vector<wt::SeenMessageBox> seen = answerer.Seen();
        ASSERT_EQ(seen.size(), 1u) << c.type;
        EXPECT_EQ(seen[0].caption, "setup_dialog_test");
        EXPECT_EQ(seen[0].text, "文本");
        EXPECT_EQ(seen[0].icon, c.shownIcon) << c.type;
    }
}

HANDLE WINAPI OpenMutexFindsNothing(DWORD, BOOL, LPCSTR) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

TEST(SingleInstance, OnlyOneClaimGetsPastTheMutexEvenWhenBothFoundNoneOpen) {
    constexpr char kName[] = "SetupTest.SingleInstance";
    UniqueHandle first;
    ASSERT_EQ(ClaimSingleInstance(kName, first), InstanceClaim::Acquired);
    ASSERT_TRUE(first);
    UniqueHandle second;
    EXPECT_EQ(ClaimSingleInstance(kName, second), InstanceClaim::HeldElsewhere);
    EXPECT_FALSE(second);
    {
        // Two claims at the same instant: the second one's open comes before the first one's
        // creation, so it finds nothing to open; its own creation must tell it.
        wt::ImportHook race("kernel32.dll", "OpenMutexA",
                            reinterpret_cast<void*>(&OpenMutexFindsNothing));
        ASSERT_TRUE(race.Installed());
        EXPECT_EQ(ClaimSingleInstance(kName, second), InstanceClaim::HeldElsewhere);
        EXPECT_FALSE(second);
    }
    // Once the holder has gone, the next claim gets past.
    first.reset();
    EXPECT_EQ(ClaimSingleInstance(kName, second), InstanceClaim::Acquired);
    EXPECT_TRUE(second);
}

// Libraries asked for by name: the copy of this program started below plants one beside itself
// and one in its current directory, and checks that neither loads once the search is restricted.
constexpr char kDllSearchChild[] = "SETUP_DLL_SEARCH_CHILD";
constexpr char kPlantedBeside[] = "setup_planted_beside.dll";
constexpr char kPlantedCurrent[] = "setup_planted_current.dll";

void CheckRestrictedSearchInThisProcess() {
    for (const char* planted : {kPlantedBeside, kPlantedCurrent}) {
        // Found before the restriction, so the refusal below is the restriction's doing.
        HMODULE before = LoadLibraryA(planted);
        EXPECT_NE(before, nullptr) << planted;
        if (before != nullptr) FreeLibrary(before);
    }
    RestrictDllSearchPath();
    for (const char* planted : {kPlantedBeside, kPlantedCurrent}) {
        HMODULE after = LoadLibraryA(planted);
        EXPECT_EQ(after, nullptr) << planted;
        if (after != nullptr) FreeLibrary(after);
    }
    HMODULE system = LoadLibraryA("version.dll");
    EXPECT_NE(system, nullptr);
    if (system != nullptr) FreeLibrary(system);
}

TEST(DllSearch, LibrariesByNameNoLongerComeFromTheProgramOrCurrentDirectory) {
    std::array<char, 8> flag{};
    if (GetEnvironmentVariableA(kDllSearchChild, flag.data(), static_cast<DWORD>(flag.size())) >
        0) {
        CheckRestrictedSearchInThisProcess();
        return;
    }
    std::string scratch = wt::MakeScratchDirectory("dllsearch");
    std::string programDir = scratch + "\\program";
    std::string currentDir = scratch + "\\current";
    ASSERT_TRUE(CreateDirectoryA(programDir.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(currentDir.c_str(), nullptr));
    std::string copy = programDir + "\\setup_dialog_test.exe";
    ASSERT_TRUE(
        CopyFileA((wt::ProgramDirectory() + "setup_dialog_test.exe").c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(wt::CopyStub("waiter_gui", programDir + "\\" + kPlantedBeside));
    ASSERT_TRUE(wt::CopyStub("waiter_gui", currentDir + "\\" + kPlantedCurrent));

    std::string commandLine = "\"" + copy + "\" --gtest_filter=DllSearch.*";
    SetEnvironmentVariableA(kDllSearchChild, "1");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    BOOL started = CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                  nullptr, currentDir.c_str(), &startup, &info);
    SetEnvironmentVariableA(kDllSearchChild, nullptr);
    ASSERT_TRUE(started);
    CloseHandle(info.hThread);
    wt::StartedProcess child(info.hProcess, info.dwProcessId);
    ASSERT_TRUE(child.WaitForExit(kWorkerWait));
    DWORD code = 1;
    GetExitCodeProcess(child.handle(), &code);
    EXPECT_EQ(code, 0u) << "the copy's own checks failed";
}

}  // namespace
