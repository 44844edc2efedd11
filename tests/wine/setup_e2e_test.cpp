// Setup.exe from end to end: copies of the built installer are started from scratch folders in
// this prefix, with or without a payload beside them, and driven from here through their windows
// as a user would drive them. The results are read back from the files, the shortcuts (through
// the shell), the registry and the stub programs that stand in for the product and the browser.
#include "dialog_driver.h"
#include "installer_fixture.h"
#include "payload_builder.h"
#include "process_support.h"
#include "registry_support.h"
#include "shortcut_support.h"
#include "system/win_resource.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using wt::InstallerTest;

constexpr auto& kTitle = wt::kSetupTitle;
constexpr char kAlreadyRunning[] = "安装程序已经运行!";
constexpr char kNoPath[] = "请选择安装路径!";
constexpr char kNoPayload[] = "安装失败,请重新下载新的安装包!";
constexpr char kPromptCaption[] = "提示";
constexpr char kPrompt[] =
    "澜舟雅韵全球网络收音机正在运行,需要关闭才能继续安装,\n点击(是)立即关闭,点击(否)退出安装。";
constexpr char kMutexName[] = "_ASDPFJASDFASCSetupAppPDFXXX";

using wt::kHomePage;
using wt::kRunKey;
using wt::kUninstallKey;

constexpr int kBrowse = wt::kBrowseButton;
constexpr int kPath = wt::kPathControl;
constexpr int kAutoRun = wt::kAutoRunCheck;
constexpr int kProgress = wt::kProgressControl;
constexpr int kUnusedEdit = wt::kUnusedEditControl;
using wt::kAboutCommand;

using wt::ExitCode;
using wt::SamePath;
using wt::StoredString;
using wt::StubBytes;
using wt::WaitForExitClosingBoxes;

TEST_F(InstallerTest, OpensIdleShowsTheAboutBoxAndWantsAPathBeforeInstalling) {
    wt::StartedProcess installer = wt::StartProgram(PlaceInstaller("idle"));
    ASSERT_TRUE(installer);
    HWND dialog = dd::WaitForDialog(installer.id(), kTitle);
    ASSERT_NE(dialog, nullptr);

    EXPECT_EQ(dd::ControlText(dialog, IDOK), "开始安装");
    EXPECT_TRUE(dd::IsControlEnabled(dialog, IDOK));
    EXPECT_FALSE(dd::IsControlVisible(dialog, IDCANCEL));
    EXPECT_EQ(dd::ControlText(dialog, kBrowse), "选择路径");
    EXPECT_TRUE(dd::IsControlEnabled(dialog, kBrowse));
    EXPECT_EQ(dd::ControlText(dialog, kAutoRun), "设置开机自动运行");
    EXPECT_EQ(dd::CheckState(dialog, kAutoRun), BST_CHECKED);
    EXPECT_EQ(dd::ProgressLow(dialog, kProgress), 0);
    EXPECT_EQ(dd::ProgressHigh(dialog, kProgress), 100);
    EXPECT_EQ(dd::ProgressPosition(dialog, kProgress), 0);
    EXPECT_EQ(dd::ControlText(dialog, kPath), "");
    EXPECT_FALSE(dd::IsControlVisible(dialog, kUnusedEdit));
    EXPECT_FALSE(dd::IsControlEnabled(dialog, kUnusedEdit));

    dd::SystemCommand(dialog, kAboutCommand);
    HWND about = dd::WaitForDialog(installer.id(), "关于 Setup");
    ASSERT_NE(about, nullptr);
    std::vector<std::string> texts;
    for (HWND child = GetWindow(about, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        texts.push_back(dd::Text(child));
    }
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Setup 1.0 版"), texts.end());
    EXPECT_EQ(dd::ControlText(about, IDOK), "确定");
    dd::Answer(about, IDOK);
    EXPECT_TRUE(dd::WaitForWindowGone(about));

    dd::Click(dialog, IDOK);
    std::optional<dd::MessageBoxView> box = dd::WaitForMessageBox(installer.id(), "Setup");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, kNoPath);
    dd::Answer(box->window, IDOK);
    EXPECT_TRUE(dd::WaitForWindowGone(box->window));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(dd::IsControlEnabled(dialog, IDOK));
    EXPECT_EQ(dd::ControlText(dialog, IDOK), "开始安装");

    dd::PressEscape(dialog);
    ASSERT_TRUE(installer.WaitForExit(dd::kWindowWait));
    // Closed without installing.
    EXPECT_EQ(ExitCode(installer), 1u);
}

TEST_F(InstallerTest, RefusesToRunTwiceWhateverTheSecondCopyIsCalled) {
    struct Case {
        const char* label;
        bool heldByThisTest;     // else by an installer that shows its dialog
        const char* secondName;  // the message box is captioned with it, less ".exe"
        const char* secondCaption;
    };
    const Case cases[] = {
        {"installer open", false, "澜舟安装.exe", "澜舟安装"},
        {"mutex held elsewhere", true, "Setup.exe", "Setup"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        UniqueHandle mutex;
        wt::StartedProcess first;
        HWND firstDialog = nullptr;
        if (c.heldByThisTest) {
            mutex.reset(CreateMutexA(nullptr, TRUE, kMutexName));
            ASSERT_TRUE(mutex);
        } else {
            first = wt::StartProgram(PlaceInstaller("first"));
            firstDialog = dd::WaitForDialog(first.id(), kTitle);
            ASSERT_NE(firstDialog, nullptr);
        }

        wt::StartedProcess second = wt::StartProgram(PlaceInstaller("second", c.secondName));
        ASSERT_TRUE(second);
        std::optional<dd::MessageBoxView> box = dd::WaitForMessageBox(second.id(), c.secondCaption);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, kAlreadyRunning);
        EXPECT_TRUE(dd::WaitForDialog(second.id(), kTitle, 0) == nullptr);
        dd::Answer(box->window, IDOK);
        EXPECT_TRUE(second.WaitForExit(dd::kWindowWait));
        EXPECT_EQ(ExitCode(second), 2u);

        if (firstDialog != nullptr) {
            // The first one was not disturbed; once it has ended, the guard is gone with it.
            EXPECT_TRUE(IsWindowVisible(firstDialog));
            EXPECT_TRUE(dd::IsControlEnabled(firstDialog, IDOK));
            dd::PressEscape(firstDialog);
            EXPECT_TRUE(first.WaitForExit(dd::kWindowWait));
        }
        mutex.reset();

        wt::StartedProcess third = wt::StartProgram(PlaceInstaller("third"));
        HWND thirdDialog = dd::WaitForDialog(third.id(), kTitle);
        ASSERT_NE(thirdDialog, nullptr);
        dd::PressEscape(thirdDialog);
        EXPECT_TRUE(third.WaitForExit(dd::kWindowWait));
    }
}

TEST_F(InstallerTest, OfSeveralInstallersStartedAtOnceOnlyOneOpensItsDialog) {
    std::string setup = PlaceInstaller("many");
    constexpr int kCount = 4;
    std::vector<wt::StartedProcess> installers;
    std::vector<UniqueHandle> threads;
    for (int i = 0; i < kCount; ++i) {
        std::string commandLine = "\"" + setup + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessA(setup.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                   CREATE_SUSPENDED, nullptr, nullptr, &startup, &info));
        installers.emplace_back(info.hProcess, info.dwProcessId);
        threads.emplace_back(info.hThread);
    }
    // All four are created before any of them runs a single instruction.
    for (const UniqueHandle& thread : threads) ResumeThread(thread.get());

    std::vector<HWND> dialogs;
    std::vector<HWND> refusals;
    ASSERT_TRUE(dd::WaitUntil(
        [&] {
            dialogs.clear();
            refusals.clear();
            for (const wt::StartedProcess& installer : installers) {
                if (HWND dialog = dd::WaitForDialog(installer.id(), kTitle, 0)) {
                    dialogs.push_back(dialog);
                }
                for (const dd::MessageBoxView& box : dd::MessageBoxes(installer.id())) {
                    if (box.caption == "Setup" && box.text == kAlreadyRunning) {
                        refusals.push_back(box.window);
                    }
                }
            }
            return dialogs.size() + refusals.size() == kCount;
        },
        dd::kWindowWait));
    EXPECT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(refusals.size(), static_cast<std::size_t>(kCount - 1));
    for (HWND box : refusals) dd::Answer(box, IDOK);
    for (HWND dialog : dialogs) dd::PressEscape(dialog);
    for (const wt::StartedProcess& installer : installers) {
        EXPECT_TRUE(installer.WaitForExit(dd::kWindowWait));
    }
}

TEST_F(InstallerTest, WithoutAPayloadItSaysSoIgnoresCancelMeanwhileAndStillFinishes) {
    std::string target = scratch_ + "\\earlier";
    // An earlier installation known from the registry only; its directory is gone.
    ASSERT_TRUE(wt::WriteRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString",
                                        target + "\\quenunset.exe"));
    wt::StartedProcess installer = wt::StartProgram(PlaceInstaller("nopayload"));
    HWND dialog = dd::WaitForDialog(installer.id(), kTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dd::ControlText(dialog, kPath), target);

    dd::Click(dialog, IDOK);
    std::optional<dd::MessageBoxView> failure = dd::WaitForMessageBox(installer.id(), "Setup");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->text, kNoPayload);

    // The worker waits in its message box, so the run is certainly in progress: every way of
    // cancelling, and a second OK, must be ignored.
    EXPECT_FALSE(dd::IsControlEnabled(dialog, IDOK));
    EXPECT_FALSE(dd::IsControlEnabled(dialog, kBrowse));
    dd::PressEscape(dialog);
    dd::SystemCommand(dialog, SC_CLOSE);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    dd::Click(dialog, IDCANCEL);
    dd::Click(dialog, IDOK);
    // Posted messages are handled in order: the About box comes after all of the above.
    dd::SystemCommand(dialog, kAboutCommand);
    HWND about = dd::WaitForDialog(installer.id(), "关于 Setup");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(dd::ControlText(dialog, IDOK), "开始安装");
    std::vector<dd::MessageBoxView> boxes = dd::MessageBoxes(installer.id());
    EXPECT_EQ(std::count_if(boxes.begin(), boxes.end(),
                            [](const dd::MessageBoxView& box) { return box.text == kNoPayload; }),
              1)
        << "a second worker has started";
    dd::Answer(about, IDOK);
    EXPECT_TRUE(dd::WaitForWindowGone(about));

    dd::Answer(failure->window, IDOK);
    ASSERT_TRUE(WaitForExitClosingBoxes(installer, dd::kWindowWait));
    EXPECT_EQ(ExitCode(installer), 5u);

    EXPECT_FALSE(wt::DirectoryExists(target));
    for (const std::string& link : ShortcutPaths()) EXPECT_FALSE(wt::FileExistsAt(link)) << link;
    EXPECT_EQ(wt::RegistryValueNames(HKEY_LOCAL_MACHINE, kUninstallKey),
              std::vector<std::string>{"UninstallString"});
    std::vector<std::string> browser = wt::WaitForRecordedLines(browser_, 1);
    ASSERT_EQ(browser.size(), 1u);
    EXPECT_EQ(wt::ArgumentsOf(browser[0]), kHomePage);
}

struct InstallCase {
    const char* label;
    bool proposedByShortcut;  // else by the uninstall entry
    bool clearAutoRun;
    int extraFiles;  // a large payload keeps the run going while cancel commands arrive
};

void PrintTo(const InstallCase& c, std::ostream* out) {
    *out << c.label;
}

class CompleteInstallTest : public InstallerTest,
                            public testing::WithParamInterface<InstallCase> {};

TEST_P(CompleteInstallTest, InstallsRegistersStartsTheProductAndOpensTheHomePage) {
    const InstallCase& c = GetParam();
    std::string target = scratch_ + "\\程序\\QuenVox";
    std::string setup = PlaceInstaller("download");
    std::string product = StubBytes("recorder_gui");
    std::vector<tpayload::Entry> entries = {
        {"", "QuenVox.exe", product},
        {"", "quenunset.exe", "uninstaller"},
        {"", "QuenRecMp3.exe", "recorder tool"},
        {"", "QuenMend.exe", "repair tool"},
        {"\\data", "readme.txt", "澜舟雅韵"},
        {"\\data\\skins\\default\\", "skin.ini", "[skin]"},
    };
    for (int i = 0; i < c.extraFiles; ++i) {
        tpayload::Entry entry;
        entry.directory = "\\stations\\";
        entry.directory += std::to_string(i % 20);
        entry.file = std::to_string(i);
        entry.file += ".dat";
        entry.data.assign(8192, static_cast<char>('a' + i % 26));
        entries.push_back(std::move(entry));
    }
    ASSERT_TRUE(wt::WriteFileBytes(FolderOf(setup) + "\\Data.cab", tpayload::Build(entries)));

    // The earlier installation that the dialog proposes.
    if (c.proposedByShortcut) {
        ASSERT_TRUE(CreateDirectoryA((scratch_ + "\\程序").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
        ASSERT_TRUE(wt::WriteFileBytes(target + "\\Quenvox.exe", {'o', 'l', 'd'}));
        ASSERT_TRUE(
            wt::WriteShortcut(wt::DesktopFolder() + "\\澜舟雅韵.lnk", target + "\\Quenvox.exe"));
    } else {
        ASSERT_TRUE(wt::WriteRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString",
                                            target + "\\quenunset.exe"));
    }

    wt::StartedProcess installer = wt::StartProgram(setup);
    HWND dialog = dd::WaitForDialog(installer.id(), kTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dd::ControlText(dialog, kPath), target);
    if (c.clearAutoRun) {
        PostMessageA(GetDlgItem(dialog, kAutoRun), BM_CLICK, 0, 0);
        ASSERT_TRUE(dd::WaitUntil([&] { return dd::CheckState(dialog, kAutoRun) == BST_UNCHECKED; },
                                  dd::kWindowWait));
    }
    dd::Click(dialog, IDOK);

    if (c.extraFiles > 0) {
        // Unpacking has begun, and far from ended.
        ASSERT_TRUE(dd::WaitUntil([&] { return dd::ProgressPosition(dialog, kProgress) >= 1; },
                                  dd::kWindowWait));
        dd::PressEscape(dialog);
        dd::SystemCommand(dialog, SC_CLOSE);
        dd::Click(dialog, IDCANCEL);
        dd::SystemCommand(dialog, kAboutCommand);
        HWND about = dd::WaitForDialog(installer.id(), "关于 Setup");
        ASSERT_NE(about, nullptr) << "the dialog ended while files were being written";
        EXPECT_FALSE(dd::IsControlEnabled(dialog, IDOK));
        EXPECT_TRUE(dd::IsControlEnabled(dialog, kAutoRun));
        dd::Answer(about, IDOK);
    }

    // The worker ends the installer once the run is complete.
    ASSERT_TRUE(WaitForExitClosingBoxes(installer, dd::kSlowWindowWait));
    EXPECT_EQ(ExitCode(installer), 0u);

    for (const tpayload::Entry& entry : entries) {
        std::string directory = target + entry.directory;
        if (directory.back() == '\\') directory.pop_back();
        std::vector<unsigned char> bytes = wt::ReadFileBytes(directory + "\\" + entry.file);
        ASSERT_EQ(std::string(bytes.begin(), bytes.end()), entry.data) << entry.file;
    }

    std::string main = target + "\\Quenvox.exe";
    std::string uninstaller = target + "\\quenunset.exe";
    const std::pair<std::string, std::string> links[] = {
        {ShortcutPaths()[0], main},
        {ShortcutPaths()[1], main},
        {ShortcutPaths()[2], main},
        {ShortcutPaths()[3], uninstaller},
        {ShortcutPaths()[4], target + "\\QuenRecMp3.exe"},
        {ShortcutPaths()[5], target + "\\QuenMend.exe"},
    };
    for (const auto& [link, expectedTarget] : links) {
        std::optional<wt::ShortcutContents> shortcut = wt::ReadShortcut(link);
        ASSERT_TRUE(shortcut) << link;
        EXPECT_TRUE(SamePath(shortcut->target, expectedTarget)) << link << ": " << shortcut->target;
        EXPECT_EQ(shortcut->hotkey, 0x0352) << link;
    }

    EXPECT_EQ(StoredString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"),
              "澜舟雅韵全球网络收音机Ver:2011-II Build:12019");
    EXPECT_EQ(StoredString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), "Ver:2011-II");
    EXPECT_EQ(StoredString(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"), "Quen Vox");
    EXPECT_EQ(StoredString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon"), uninstaller);
    EXPECT_EQ(StoredString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), uninstaller);
    if (c.clearAutoRun) {
        EXPECT_FALSE(wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Quenvox"));
    } else {
        EXPECT_EQ(StoredString(HKEY_LOCAL_MACHINE, kRunKey, "Quenvox"), main);
    }

    // The installed product was started once, and the browser with the home page.
    EXPECT_EQ(wt::WaitForRecordedLines(target + "\\QuenVox.exe", 1).size(), 1u);
    std::vector<std::string> browser = wt::WaitForRecordedLines(browser_, 1);
    ASSERT_EQ(browser.size(), 1u);
    EXPECT_EQ(wt::ArgumentsOf(browser[0]), kHomePage);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CompleteInstallTest,
    testing::Values(InstallCase{"shortcut_autorun", true, false, 0},
                    InstallCase{"registry_no_autorun_large", false, true, 2000}),
    [](const testing::TestParamInfo<InstallCase>& info) { return std::string(info.param.label); });

// A waiting stub started as `name` that ends by itself after `seconds`; listed when this returns.
wt::StartedProcess StartStubAs(const std::string& directory, const std::string& name, int seconds) {
    std::string path = directory + "\\" + name;
    if (!wt::CopyStub("waiter_gui", path)) return {};
    wt::StartedProcess process = wt::StartProgram(path, std::to_string(seconds));
    bool listed = dd::WaitUntil(
        [&] {
            std::vector<DWORD> ids = wt::ListedProcessIds(name);
            return std::find(ids.begin(), ids.end(), process.id()) != ids.end();
        },
        dd::kWindowWait);
    return listed ? std::move(process) : wt::StartedProcess();
}

TEST_F(InstallerTest, ARunningProductOrPlayerIsEndedOnYesAndEndsTheInstallerOnNo) {
    struct Stub {
        const char* name;
        int seconds;
    };
    struct Case {
        const char* label;
        std::vector<Stub> running;
        int answer;
    };
    // While a player runs, the installer looks it up again and again (thousands of slow lookups)
    // before its dialog shows; the player here leaves by itself after a while, which ends that
    // early. Either way it was seen running, so the prompt comes.
    const Case cases[] = {
        {"product, no", {{"QuenVox.exe", 300}}, IDNO},
        {"product and player, yes", {{"QuenVox.exe", 300}, {"mplayer.exe", 15}}, IDYES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string folder = wt::MakeScratchDirectory("running");
        std::vector<wt::StartedProcess> stubs;
        for (std::size_t i = 0; i < c.running.size(); ++i) {
            std::string directory = folder + "\\" + std::to_string(i);
            ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
            stubs.push_back(StartStubAs(directory, c.running[i].name, c.running[i].seconds));
            ASSERT_TRUE(stubs.back());
        }

        wt::StartedProcess installer = wt::StartProgram(PlaceInstaller(c.label));
        HWND dialog = dd::WaitForDialog(installer.id(), kTitle, dd::kSlowWindowWait);
        ASSERT_NE(dialog, nullptr);
        std::optional<dd::MessageBoxView> prompt =
            dd::WaitForMessageBox(installer.id(), kPromptCaption);
        ASSERT_TRUE(prompt);
        EXPECT_EQ(prompt->text, kPrompt);
        EXPECT_FALSE(IsWindowEnabled(dialog)) << "the prompt is modal over the dialog";
        dd::Answer(prompt->window, c.answer);

        if (c.answer == IDNO) {
            EXPECT_TRUE(installer.WaitForExit(dd::kWindowWait));
            EXPECT_EQ(ExitCode(installer), 1u);
            for (const wt::StartedProcess& stub : stubs) EXPECT_TRUE(stub.Running());
            EXPECT_FALSE(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        } else {
            for (const wt::StartedProcess& stub : stubs) {
                EXPECT_TRUE(stub.WaitForExit(dd::kWindowWait));
            }
            EXPECT_TRUE(dd::WaitForWindowGone(prompt->window));
            // The dialog stays idle.
            EXPECT_TRUE(IsWindowVisible(dialog));
            EXPECT_TRUE(dd::IsControlEnabled(dialog, IDOK));
            EXPECT_EQ(dd::ControlText(dialog, IDOK), "开始安装");
            dd::PressEscape(dialog);
            EXPECT_TRUE(installer.WaitForExit(dd::kWindowWait));
        }
    }
}

}  // namespace
