// The product's whole life, in a fresh prefix with a drive D: of its own: the sample product packed
// with its file list by the real payload tool, installed by the real Setup.exe driven through its
// windows (the folder picker included, as nothing proposes a folder on a clean machine), removed
// by its own uninstaller, and the machine compared with how it was before: every file of C: and
// D:, and every key and value below HKLM\Software and HKCU\Software. The only differences allowed
// are Wine's own, each named below with its reason.
#include "dialog_driver.h"
#include "installer_fixture.h"
#include "folder_picker.h"
#include "process_support.h"
#include "registry_support.h"
#include "shortcut_support.h"
#include "system_snapshot.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace {

constexpr auto& kTitle = wt::kSetupTitle;
constexpr char kInstallDir[] = "D:\\QuenVox";
using wt::kHtmlCommandKey;
using wt::kRunKey;
using wt::kUninstallKey;
constexpr char kCaption[] = "卸载澜舟雅韵";
constexpr int kBrowse = wt::kBrowseButton;
constexpr int kPath = wt::kPathControl;
constexpr DWORD kUninstallWait = 60000;

// Changes Wine makes by itself while the programs run, none of them the product's. Everything
// else must be as it was: the drives' files (sizes and times), every key and value.
std::vector<wt::ExpectedChange> WineChanges() {
    return {
        {"HKCU\\Software\\Wine\\Temporary System Parameters\\",
         "Wine keeps the system parameters that programs set for the session only (colours, "
         "window metrics, mouse) below this volatile key, whose subkeys appear once the first "
         "windows of the session have opened (here the installer's) and vanish when the session "
         "ends; Windows keeps such settings in memory"},
    };
}

std::string FullPath(const std::string& path) {
    std::array<char, MAX_PATH> full{};
    DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full.data(), nullptr);
    return length > 0 && length < MAX_PATH ? std::string(full.data(), length) : path;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "\n  " + line;
    return text;
}

// Ends a program as its close box would.
void CloseWindowsOf(DWORD processId) {
    for (HWND window : dd::TopLevelWindows(processId)) PostMessageA(window, WM_CLOSE, 0, 0);
}

class ProductLifeTest : public testing::Test {
  protected:
    // Done once, before anything of the product exists: the stage (installer, payload and the
    // browser stand-in), then the snapshot every round trip is held against.
    static void SetUpTestSuite() {
        stage_ = new std::string(wt::MakeScratchDirectory("life"));
        const std::string browser = *stage_ + "\\browser.exe";
        ASSERT_TRUE(wt::CopyStub("recorder_gui", browser));
        ASSERT_TRUE(wt::WriteRegistryString(HKEY_CLASSES_ROOT, kHtmlCommandKey, "",
                                            "\"" + browser + "\" -nohome"));
        ASSERT_TRUE(CopyFileA((wt::ProgramDirectory() + "Setup.exe").c_str(),
                              (*stage_ + "\\Setup.exe").c_str(), FALSE));
        wt::StartedProcess pack =
            wt::StartProgram(wt::ProgramDirectory() + "payload-tool.exe",
                             "pack --file-list quenunset.lst \"" +
                                 FullPath(wt::ProgramDirectory() + "..\\sample\\product") +
                                 "\" \"" + *stage_ + "\\Data.cab\"");
        ASSERT_TRUE(pack.WaitForExit(dd::kWindowWait));
        ASSERT_EQ(wt::ExitCode(pack), 0u);
        before_ = new wt::SystemSnapshot(Snapshot());
    }
    static void TearDownTestSuite() {
        delete before_;
        delete stage_;
    }

    static wt::SystemSnapshot Snapshot() {
        return wt::TakeSystemSnapshot({"C:\\", "D:\\"},
                                      {{HKEY_LOCAL_MACHINE, "Software", "HKLM\\Software"},
                                       {HKEY_CURRENT_USER, "Software", "HKCU\\Software"}});
    }

    // The expected changes: Wine's, and the stage, where the browser stand-in records its starts.
    static std::vector<wt::ExpectedChange> Expected() {
        std::vector<wt::ExpectedChange> expected = WineChanges();
        expected.push_back({*stage_ + "\\", "the test's own stage: the browser stand-in's record"});
        return expected;
    }

    // What differs from the clean machine and is not explained, once it is `wanted`, waiting at
    // most `milliseconds` (the uninstaller's file and folder go just after it has ended).
    static std::vector<std::string> LeftOver(const std::vector<std::string>& wanted,
                                             DWORD milliseconds) {
        std::vector<std::string> left;
        dd::WaitUntil(
            [&] {
                left = wt::UnexplainedDifferences(wt::SnapshotDifferences(*before_, Snapshot()),
                                                  Expected());
                return left == wanted;
            },
            milliseconds);
        return left;
    }

    // Installs with the real installer into D:\QuenVox, picked in the folder picker; the
    // installer starts the product, whose process is returned.
    static wt::StartedProcess Install() {
        wt::StartedProcess installer = wt::StartProgram(*stage_ + "\\Setup.exe");
        HWND dialog = dd::WaitForDialog(installer.id(), kTitle);
        EXPECT_NE(dialog, nullptr);
        if (dialog == nullptr) return {};
        // Nothing of an earlier installation is found.
        EXPECT_EQ(dd::ControlText(dialog, kPath), "");
        dd::Click(dialog, kBrowse);
        HWND picker = dd::WaitForFolderPicker(installer.id(), dialog, dd::kWindowWait);
        EXPECT_NE(picker, nullptr);
        if (picker == nullptr || !dd::PickDrive(picker, installer.id(), "D:", dd::kWindowWait)) {
            ADD_FAILURE() << "drive D: could not be picked";
            return {};
        }
        EXPECT_TRUE(dd::WaitUntil([&] { return dd::ControlText(dialog, kPath) == kInstallDir; },
                                  dd::kWindowWait));
        dd::Click(dialog, IDOK);
        EXPECT_TRUE(dd::WaitUntil(
            [&] {
                for (const dd::MessageBoxView& box : dd::MessageBoxes(installer.id())) {
                    dd::Answer(box.window, IDOK);
                }
                return installer.WaitForExit(0);
            },
            dd::kSlowWindowWait));

        std::vector<DWORD> product;
        EXPECT_TRUE(
            dd::WaitUntil([&] { return !(product = wt::ListedProcessIds("QuenVox.exe")).empty(); },
                          dd::kWindowWait));
        EXPECT_EQ(wt::StoredString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
                  std::string(kInstallDir) + "\\quenunset.exe");
        EXPECT_TRUE(wt::FileExistsAt(std::string(kInstallDir) + "\\quenunset.lst"));
        if (product.empty()) return {};
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION,
                                     FALSE, product[0]);
        return wt::StartedProcess(process, product[0]);
    }

    // Runs the uninstaller the way a script does: the uninstall entry's command with /S.
    static DWORD UninstallSilently() {
        const std::string command =
            wt::StoredString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString");
        EXPECT_NE(command, "<missing>");
        wt::StartedProcess uninstaller = wt::StartProgram(command, "/S");
        EXPECT_TRUE(uninstaller.WaitForExit(kUninstallWait));
        EXPECT_TRUE(dd::MessageBoxes(uninstaller.id()).empty());
        return wt::ExitCode(uninstaller);
    }

    static std::string* stage_;
    static wt::SystemSnapshot* before_;
};

std::string* ProductLifeTest::stage_ = nullptr;
wt::SystemSnapshot* ProductLifeTest::before_ = nullptr;

TEST_F(ProductLifeTest, InstallThenUninstallLeavesTheMachineAsItWas) {
    wt::StartedProcess product = Install();
    ASSERT_TRUE(product);
    // The machine did change meanwhile: the round trip below has something to undo.
    std::vector<std::string> installed =
        wt::UnexplainedDifferences(wt::SnapshotDifferences(*before_, Snapshot()), Expected());
    EXPECT_GE(installed.size(), 20u) << Lines(installed);
    CloseWindowsOf(product.id());
    ASSERT_TRUE(product.WaitForExit(dd::kWindowWait));

    EXPECT_EQ(UninstallSilently(), 0u);
    std::vector<std::string> left = LeftOver({}, dd::kWindowWait);
    EXPECT_TRUE(left.empty()) << "left behind:" << Lines(left);
}

TEST_F(ProductLifeTest, TheRunningProductIsEndedAndRemoved) {
    wt::StartedProcess product = Install();
    ASSERT_TRUE(product);
    ASSERT_TRUE(product.Running());

    EXPECT_EQ(UninstallSilently(), 0u);
    EXPECT_TRUE(product.WaitForExit(0)) << "the uninstaller returned before the product ended";
    EXPECT_TRUE(wt::ListedProcessIds("QuenVox.exe").empty());
    std::vector<std::string> left = LeftOver({}, dd::kWindowWait);
    EXPECT_TRUE(left.empty()) << "left behind:" << Lines(left);
}

// Through the uninstall shortcut, as a person would: the question, then the closing message,
// which says the folder stays for the user's own files and where it is.
TEST_F(ProductLifeTest, TheUsersOwnFilesSurviveWithTheirFolders) {
    wt::StartedProcess product = Install();
    ASSERT_TRUE(product);
    const std::string notes = std::string(kInstallDir) + "\\我的笔记.txt";
    const std::string skin = std::string(kInstallDir) + "\\skins\\我的皮肤.ini";
    ASSERT_TRUE(wt::WriteFileBytes(notes, {'m', 'i', 'n', 'e'}));
    ASSERT_TRUE(wt::WriteFileBytes(skin, {'[', 's', ']'}));
    CloseWindowsOf(product.id());
    ASSERT_TRUE(product.WaitForExit(dd::kWindowWait));

    const std::string link = wt::ProgramsFolder() + "\\澜舟雅韵\\卸载澜舟雅韵.lnk";
    SHELLEXECUTEINFOA open{};
    open.cbSize = sizeof open;
    open.fMask = SEE_MASK_NOCLOSEPROCESS;
    open.lpFile = link.c_str();
    open.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExA(&open)) << link;
    std::vector<DWORD> ids;
    ASSERT_TRUE(dd::WaitUntil(
        [&] { return !(ids = wt::ListedProcessIds("quenunset.exe")).empty(); }, dd::kWindowWait));
    wt::StartedProcess uninstaller(
        open.hProcess != nullptr
            ? open.hProcess
            : OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, ids[0]),
        ids[0]);

    std::optional<dd::MessageBoxView> question = dd::WaitForMessageBox(ids[0], kCaption);
    ASSERT_TRUE(question);
    EXPECT_EQ(question->text, "确定要卸载澜舟雅韵吗?");
    dd::Answer(question->window, IDYES);
    ASSERT_TRUE(dd::WaitForWindowGone(question->window));
    std::optional<dd::MessageBoxView> done =
        dd::WaitForMessageBox(ids[0], kCaption, kUninstallWait);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->text,
              "澜舟雅韵已从您的计算机中删除。\r\n\r\n安装文件夹中还有您自己的文件,"
              "因此保留了该文件夹:\r\nD:\\QuenVox");
    dd::Answer(done->window, IDOK);
    ASSERT_TRUE(uninstaller.WaitForExit(dd::kWindowWait));
    EXPECT_EQ(wt::ExitCode(uninstaller), 0u);

    const std::vector<std::string> users = {"+ D:\\QuenVox\\", "+ D:\\QuenVox\\skins\\",
                                            "+ D:\\QuenVox\\skins\\我的皮肤.ini",
                                            "+ D:\\QuenVox\\我的笔记.txt"};
    std::vector<std::string> left = LeftOver(users, dd::kWindowWait);
    EXPECT_EQ(left, users) << "left behind:" << Lines(left);

    ASSERT_TRUE(DeleteFileA(notes.c_str()) && DeleteFileA(skin.c_str()));
    ASSERT_TRUE(RemoveDirectoryA((std::string(kInstallDir) + "\\skins").c_str()));
    ASSERT_TRUE(RemoveDirectoryA(kInstallDir));
}

}  // namespace
