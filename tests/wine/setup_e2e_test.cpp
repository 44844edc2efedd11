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
#include "system/ansi_text_win.h"
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

// The dialog is open and idle: shown, its install button enabled and reading "开始安装".
void ExpectIdle(HWND dialog) {
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(dd::IsControlEnabled(dialog, IDOK));
    EXPECT_EQ(dd::ControlText(dialog, IDOK), "开始安装");
}

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
    ExpectIdle(dialog);

    dd::PressEscape(dialog);
    ASSERT_TRUE(installer.WaitForExit(dd::kWindowWait));
    // Closed without installing.
    EXPECT_EQ(ExitCode(installer), 1u);
}

// A full path of exactly `bytes` bytes in the ANSI code page (936) that ends in "\\" + `name`:
// folders of Chinese characters below `base`, created here. Such a character takes two bytes but
// one UTF-16 unit, so the path is far longer in bytes than in UTF-16 units, as a Chinese user's
// folders are. (Wine starts no program whose path has 260 UTF-16 units or more: CreateProcessW
// then fails with ERROR_INVALID_NAME.) Empty when a folder cannot be created.
std::string MakeLongAnsiPath(const std::string& base, std::size_t bytes, const std::string& name) {
    std::string path = base;
    if (bytes < path.size() + 1 + name.size() + 3) return {};
    std::size_t left = bytes - path.size() - 1 - name.size();
    while (left > 0) {
        // A separator and up to 61 characters, an odd byte made up with an ASCII letter; the last
        // folder is never shorter than that letter and one character.
        std::size_t take = left > 124 ? 121 : left;
        std::string folder = "\\";
        if ((take - 1) % 2 != 0) folder += "x";
        while (folder.size() < take) folder += "长";
        path += folder;
        left -= take;
        std::wstring wide = AnsiToWide(path);
        if (wide.empty() || !CreateDirectoryW(wide.c_str(), nullptr)) return {};
    }
    return path + "\\" + name;
}

TEST_F(InstallerTest, MessageBoxesAreCaptionedWithTheProgramNameHoweverLongItsPath) {
    struct Case {
        std::size_t bytes;  // of the program's full path in the ANSI code page
        const char* name;
        const char* caption;
    };
    const Case cases[] = {
        {259, "Setup.exe", "Setup"},
        {260, "Setup.exe", "Setup"},
        {300, "澜舟安装.exe", "澜舟安装"},
        {400, "Setup.exe", "Setup"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes) + " bytes, " + c.name);
        std::string base = scratch_ + "\\long" + std::to_string(c.bytes);
        ASSERT_TRUE(CreateDirectoryA(base.c_str(), nullptr));
        std::string setup = MakeLongAnsiPath(base, c.bytes, c.name);
        ASSERT_EQ(setup.size(), c.bytes);
        ASSERT_LT(AnsiToWide(setup).size(), static_cast<std::size_t>(MAX_PATH));
        ASSERT_TRUE(CopyFileW(AnsiToWide(wt::ProgramDirectory() + "Setup.exe").c_str(),
                              AnsiToWide(setup).c_str(), FALSE));

        wt::StartedProcess installer = wt::StartProgram(setup);
        ASSERT_TRUE(installer);
        HWND dialog = dd::WaitForDialog(installer.id(), kTitle);
        ASSERT_NE(dialog, nullptr);
        // No target folder yet: OK gets the framework's box, captioned with the program's title.
        dd::Click(dialog, IDOK);
        std::optional<dd::MessageBoxView> box;
        ASSERT_TRUE(dd::WaitUntil(
            [&] {
                for (const dd::MessageBoxView& shown : dd::MessageBoxes(installer.id())) {
                    if (shown.text == kNoPath) box = shown;
                }
                return box.has_value();
            },
            dd::kWindowWait));
        EXPECT_EQ(box->caption, c.caption);
        dd::Answer(box->window, IDOK);
        EXPECT_TRUE(dd::WaitForWindowGone(box->window));
        dd::PressEscape(dialog);
        EXPECT_TRUE(installer.WaitForExit(dd::kWindowWait));
    }
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

TEST_F(InstallerTest, ARunningProductOrPlayerIsEndedOnYesAndEndsTheInstallerOnNo) {
    struct Stub {
        const char* name;
        const char* lifetime;  // seconds, or "forever": then only a termination ends it
    };
    struct Case {
        const char* label;
        std::vector<Stub> running;
        int answer;
        // A player that never leaves by itself, started while the prompt is up.
        const char* startedAtPrompt = nullptr;
    };
    // While a player runs, the installer looks it up again and again (thousands of slow lookups)
    // before its dialog shows; the players here leave by themselves after a while, which ends
    // that early. Either way they were seen running, so the prompt comes. The last case's second
    // player never leaves by itself: only the installer's "是" ends it.
    const Case cases[] = {
        {"product, no", {{"QuenVox.exe", "300"}}, IDNO},
        {"product and player, yes", {{"QuenVox.exe", "300"}, {"mplayer.exe", "15"}}, IDYES},
        {"player that stays, yes", {{"mplayer.exe", "3"}}, IDYES, "mplayer.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string folder = wt::MakeScratchDirectory("running");
        std::vector<wt::StartedProcess> stubs;
        for (std::size_t i = 0; i < c.running.size(); ++i) {
            std::string directory = folder + "\\" + std::to_string(i);
            ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
            stubs.push_back(wt::StartWaiterAs(directory, c.running[i].name, c.running[i].lifetime));
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
        if (c.startedAtPrompt != nullptr) {
            std::string directory = folder + "\\stays";
            ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
            stubs.push_back(wt::StartWaiterAs(directory, c.startedAtPrompt, "forever"));
            ASSERT_TRUE(stubs.back());
            ASSERT_TRUE(dd::WaitUntil(
                [&] { return !wt::ListedProcessIds(c.startedAtPrompt).empty(); }, dd::kWindowWait));
        }
        dd::Answer(prompt->window, c.answer);

        if (c.answer == IDNO) {
            EXPECT_TRUE(installer.WaitForExit(dd::kWindowWait));
            EXPECT_EQ(ExitCode(installer), 1u);
            for (const wt::StartedProcess& stub : stubs) EXPECT_TRUE(stub.Running());
            EXPECT_FALSE(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        } else {
            for (const wt::StartedProcess& stub : stubs) {
                EXPECT_TRUE(stub.WaitForExit(dd::kWindowWait));
                // Ended as the installer ends programs, with exit code 0.
                EXPECT_EQ(ExitCode(stub), 0u);
            }
            EXPECT_TRUE(wt::ListedProcessIds("mplayer.exe").empty());
            EXPECT_TRUE(dd::WaitForWindowGone(prompt->window));
            // The dialog stays idle.
            ExpectIdle(dialog);
            dd::PressEscape(dialog);
            EXPECT_TRUE(installer.WaitForExit(dd::kWindowWait));
        }
    }
}

}  // namespace
