// The browse button through the system's real folder picker, in Setup.exe: the desktop folder is
// picked in the picker's tree, the product folder is added below it, and the system drive is
// refused on releases from Windows Vista on. The test runs once under the prefix's default
// release (Windows 7) and once under Windows XP x64, which accepts the system drive.
#include "dialog_driver.h"
#include "process_support.h"
#include "shortcut_support.h"
#include "wine_test_support.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

constexpr char kTitle[] = "澜舟雅韵全球网络收音机Ver:2011-II Build:12019";
constexpr int kBrowse = 1002;
constexpr int kPath = 1003;

// The installer's top-level dialog, other than `except`, that holds a tree view: the picker.
HWND WaitForPicker(DWORD processId, HWND except) {
    HWND picker = nullptr;
    dd::WaitUntil(
        [&] {
            for (HWND window : dd::TopLevelWindows(processId)) {
                if (window != except && FindWindowExA(window, nullptr, WC_TREEVIEWA, nullptr)) {
                    picker = window;
                    return true;
                }
            }
            return false;
        },
        dd::kWindowWait);
    return picker;
}

bool SystemDriveRefusedHere() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return true;
    // Windows XP and Server 2003 (and older) accept it; Vista and everything later refuse it.
    return version.dwMajorVersion >= 6;
}

TEST(SetupBrowse, PickingTheDesktopAddsTheProductFolderOrRefusesTheSystemDrive) {
    // The prefix was set to the release its registration asks for.
    std::array<char, 32> asked{};
    GetEnvironmentVariableA("SETUP_WINE_VERSION", asked.data(), static_cast<DWORD>(asked.size()));
    if (std::string(asked.data()) == "winxp64") {
        ASSERT_FALSE(SystemDriveRefusedHere());
    } else if (asked[0] == '\0') {
        ASSERT_TRUE(SystemDriveRefusedHere());
    }

    std::string folder = wt::MakeScratchDirectory("browse");
    std::string setup = folder + "\\Setup.exe";
    ASSERT_TRUE(CopyFileA((wt::ProgramDirectory() + "Setup.exe").c_str(), setup.c_str(), FALSE));
    wt::StartedProcess installer = wt::StartProgram(setup);
    HWND dialog = dd::WaitForDialog(installer.id(), kTitle);
    ASSERT_NE(dialog, nullptr);

    dd::Click(dialog, kBrowse);
    HWND picker = WaitForPicker(installer.id(), dialog);
    ASSERT_NE(picker, nullptr);
    HWND tree = FindWindowExA(picker, nullptr, WC_TREEVIEWA, nullptr);
    // The tree's root is the desktop; item handles are plain values, valid across processes.
    LRESULT root = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    ASSERT_NE(root, 0);
    ASSERT_TRUE(SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, root));
    dd::Answer(picker, IDOK);
    EXPECT_TRUE(dd::WaitForWindowGone(picker));

    std::string desktop = wt::DesktopFolder();
    ASSERT_EQ(desktop.substr(1, 2), ":\\") << desktop;
    if (SystemDriveRefusedHere()) {
        std::optional<dd::MessageBoxView> refusal =
            dd::WaitForMessageBox(installer.id(), "澜舟雅韵");
        ASSERT_TRUE(refusal);
        EXPECT_EQ(refusal->text, "不能安装在系统盘!");
        // The box has no owner: the dialog stays usable while it is shown.
        EXPECT_TRUE(IsWindowEnabled(dialog));
        dd::Answer(refusal->window, IDOK);
        EXPECT_TRUE(dd::WaitForWindowGone(refusal->window));
        EXPECT_TRUE(
            dd::WaitUntil([&] { return dd::ControlText(dialog, kPath).empty(); }, dd::kWindowWait));
        // The path was emptied too: OK asks for one.
        dd::Click(dialog, IDOK);
        std::optional<dd::MessageBoxView> noPath = dd::WaitForMessageBox(installer.id(), "Setup");
        ASSERT_TRUE(noPath);
        EXPECT_EQ(noPath->text, "请选择安装路径!");
        dd::Answer(noPath->window, IDOK);
        EXPECT_TRUE(dd::WaitForWindowGone(noPath->window));
    } else {
        EXPECT_TRUE(
            dd::WaitUntil([&] { return dd::ControlText(dialog, kPath) == desktop + "\\QuenVox"; },
                          dd::kWindowWait))
            << dd::ControlText(dialog, kPath);
        EXPECT_TRUE(dd::MessageBoxes(installer.id()).empty());
    }
    dd::PressEscape(dialog);
    EXPECT_TRUE(installer.WaitForExit(dd::kWindowWait));
}

}  // namespace
