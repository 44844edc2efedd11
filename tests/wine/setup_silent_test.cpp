// Setup.exe for administrators: unattended installs (/S) and the exit code of every outcome, with
// and without the dialog. Copies of the built installer run from scratch folders in this prefix;
// what they leave is read back from the files, the shortcuts, the registry and the stubs that
// stand in for the product and the browser.
#include "dialog_driver.h"
#include "installer_fixture.h"
#include "payload_builder.h"
#include "process_support.h"
#include "registry_support.h"
#include "shortcut_support.h"
#include "system/win_resource.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr char kMutexName[] = "_ASDPFJASDFASCSetupAppPDFXXX";

std::vector<tpayload::Entry> ProductEntries() {
    return {
        {"", "QuenVox.exe", wt::StubBytes("recorder_gui")},
        {"", "quenunset.exe", "uninstaller"},
        {"", "QuenRecMp3.exe", "recorder tool"},
        {"", "QuenMend.exe", "repair tool"},
        {"\\data", "readme.txt", "澜舟雅韵"},
    };
}

// Targets lie on drive D:, which the runner maps for this test: the system drive C: is refused
// under the prefix's default release.
class SilentTest : public wt::InstallerTest {
  protected:
    void SetUp() override {
        wt::InstallerTest::SetUp();
        ASSERT_TRUE(wt::DirectoryExists("D:\\")) << "the runner maps D: for this test";
        static int counter = 0;
        data_ = "D:\\silent_" + std::to_string(++counter);
        ASSERT_TRUE(CreateDirectoryA(data_.c_str(), nullptr));
    }

    // An installer with `payload` beside it (none when empty) in a folder of its own.
    std::string PlaceWithPayload(const std::string& folder,
                                 const std::vector<unsigned char>& payload) {
        std::string setup = PlaceInstaller(folder);
        if (!payload.empty()) {
            EXPECT_TRUE(wt::WriteFileBytes(FolderOf(setup) + "\\Data.cab", payload));
        }
        return setup;
    }

    // Runs the installer with `arguments` to its end, watching that it never shows a window;
    // its exit code, or STILL_ACTIVE when it did not end in time.
    DWORD RunSilently(const std::string& setup, const std::string& arguments) {
        wt::StartedProcess installer = wt::StartProgram(setup, arguments);
        bool ended = dd::WaitUntil(
            [&] {
                if (!dd::TopLevelWindows(installer.id()).empty()) windowSeen_ = true;
                return installer.WaitForExit(0);
            },
            dd::kSlowWindowWait);
        EXPECT_TRUE(ended) << arguments;
        EXPECT_FALSE(windowSeen_) << "a window appeared for " << arguments;
        return wt::ExitCode(installer);
    }

    bool windowSeen_ = false;
    std::string data_;  // a new folder on D:
};

}  // namespace

TEST_F(SilentTest, InstallsWithoutAnyWindowAndStartsNothing) {
    for (bool noRun : {false, true}) {
        SCOPED_TRACE(noRun ? "/NORUN" : "with the Run value");
        SetUp();
        std::string target = data_ + (noRun ? "\\No Run\\QuenVox" : "\\Program Files\\QuenVox");
        std::string setup =
            PlaceWithPayload(noRun ? "norun" : "run", tpayload::Build(ProductEntries()));
        std::string arguments = std::string("/s ") + (noRun ? "/NoRun " : "") + "/D=" + target;
        EXPECT_EQ(RunSilently(setup, arguments), 0u);

        for (const tpayload::Entry& entry : ProductEntries()) {
            std::vector<unsigned char> bytes =
                wt::ReadFileBytes(target + entry.directory + "\\" + entry.file);
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), entry.data) << entry.file;
        }
        for (const std::string& link : ShortcutPaths()) EXPECT_TRUE(wt::FileExistsAt(link)) << link;
        std::optional<wt::ShortcutContents> desktop = wt::ReadShortcut(ShortcutPaths()[0]);
        ASSERT_TRUE(desktop);
        EXPECT_TRUE(wt::SamePath(desktop->target, target + "\\Quenvox.exe"));
        EXPECT_EQ(wt::StoredString(HKEY_LOCAL_MACHINE, wt::kUninstallKey, "UninstallString"),
                  target + "\\quenunset.exe");
        if (noRun) {
            EXPECT_FALSE(wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, wt::kRunKey, "Quenvox"));
        } else {
            EXPECT_EQ(wt::StoredString(HKEY_LOCAL_MACHINE, wt::kRunKey, "Quenvox"),
                      target + "\\Quenvox.exe");
        }
        // Neither the product nor the browser was started.
        Sleep(1000);
        EXPECT_TRUE(wt::RecordedLines(target + "\\QuenVox.exe").empty());
        EXPECT_TRUE(wt::RecordedLines(browser_).empty());
        EXPECT_TRUE(wt::ListedProcessIds("QuenVox.exe").empty());
    }
}

TEST_F(SilentTest, TheEarlierInstallationsFolderIsTheTargetWithoutD) {
    std::string target = data_ + "\\earlier\\QuenVox";
    ASSERT_TRUE(wt::WriteRegistryString(HKEY_LOCAL_MACHINE, wt::kUninstallKey, "UninstallString",
                                        target + "\\quenunset.exe"));
    std::string setup = PlaceWithPayload("again", tpayload::Build(ProductEntries()));
    EXPECT_EQ(RunSilently(setup, "/S"), 0u);
    EXPECT_TRUE(wt::FileExistsAt(target + "\\QuenVox.exe"));
}

TEST_F(SilentTest, EachOutcomeHasItsExitCode) {
    const std::vector<unsigned char> good = tpayload::Build(ProductEntries());
    std::vector<unsigned char> cut = good;
    cut.resize(cut.size() - 3);
    // One byte of the last entry's data flipped in a payload that carries its checksums.
    std::vector<unsigned char> damaged = tpayload::BuildWithChecksums(ProductEntries());
    damaged[good.size() - 1] ^= 0x20;
    std::string blocked = data_ + "\\blocked\\QuenVox";
    ASSERT_TRUE(CreateDirectoryA((data_ + "\\blocked").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(blocked.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((blocked + "\\QuenMend.exe").c_str(), nullptr));
    struct Case {
        const char* what;
        std::vector<unsigned char> payload;
        std::string arguments;
        DWORD exitCode;
    };
    const std::vector<Case> cases = {
        {"an unknown switch", good, "/S /VERYSILENT /D=" + data_ + "\\x", 1},
        {"/D= without a folder", good, "/S /D=", 1},
        {"no /D= and no earlier installation", good, "/S", 1},
        {"the system drive on this release", good, "/S /D=" + scratch_ + "\\sys", 3},
        {"no payload", {}, "/S /D=" + data_ + "\\none\\QuenVox", 5},
        {"a payload cut short", cut, "/S /D=" + data_ + "\\cut\\QuenVox", 5},
        {"a damaged payload", damaged, "/S /D=" + data_ + "\\damaged\\QuenVox", 5},
        {"a file that cannot be written", good, "/S /D=" + blocked, 7},
        {"/S /? shows nothing", good, "/S /?", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string setup = PlaceWithPayload("case" + std::to_string(&c - cases.data()), c.payload);
        EXPECT_EQ(RunSilently(setup, c.arguments), c.exitCode);
        EXPECT_FALSE(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, wt::kUninstallKey));
    }
}

TEST_F(SilentTest, AnotherInstallerOrARunningProductStopsItBeforeAnythingIsWritten) {
    std::string target = data_ + "\\busy\\QuenVox";
    std::string setup = PlaceWithPayload("busy", tpayload::Build(ProductEntries()));
    {
        UniqueHandle held(CreateMutexA(nullptr, TRUE, kMutexName));
        ASSERT_TRUE(held);
        EXPECT_EQ(RunSilently(setup, "/S /D=" + target), 2u);
    }
    for (const char* name : {"QuenVox.exe", "mplayer.exe"}) {
        SCOPED_TRACE(name);
        wt::StartedProcess running = wt::StartWaiterAs(scratch_, name);
        ASSERT_TRUE(running);
        EXPECT_EQ(RunSilently(setup, "/S /D=" + target), 4u);
        // Nothing was ended (the stub is ended when it goes out of scope).
        EXPECT_TRUE(running.Running());
    }
    EXPECT_FALSE(wt::DirectoryExists(target));
}

TEST_F(SilentTest, NotEnoughSpaceOnASmallDrive) {
    if (!wt::DirectoryExists("T:\\"))
        GTEST_SKIP() << "no small drive T: (the runner mounts it as root)";
    std::string big(16 * 1024 * 1024, 'q');
    std::vector<tpayload::Entry> entries = ProductEntries();
    entries.push_back({"\\data", "big.bin", big});
    std::string setup = PlaceWithPayload("full", tpayload::Build(entries));
    EXPECT_EQ(RunSilently(setup, "/S /D=T:\\QuenVox"), 6u);
    EXPECT_FALSE(wt::DirectoryExists("T:\\QuenVox"));
}

// With the dialog the exit code follows the same table.
TEST_F(SilentTest, TheDialogsExitCodes) {
    // /? shows the usage and ends with 0.
    {
        wt::StartedProcess installer = wt::StartProgram(PlaceInstaller("help"), "/?");
        std::optional<dd::MessageBoxView> usage = dd::WaitForMessageBox(installer.id(), "Setup");
        ASSERT_TRUE(usage);
        EXPECT_NE(usage->text.find("/S"), std::string::npos);
        EXPECT_NE(usage->text.find("7\t"), std::string::npos);
        dd::Answer(usage->window, IDOK);
        ASSERT_TRUE(installer.WaitForExit(dd::kWindowWait));
        EXPECT_EQ(wt::ExitCode(installer), 0u);
    }
    // Closed without installing: 1. /D= presets the folder shown.
    {
        std::string preset = data_ + "\\preset dir\\QuenVox";
        wt::StartedProcess installer = wt::StartProgram(PlaceInstaller("closed"), "/D=" + preset);
        HWND dialog = dd::WaitForDialog(installer.id(), wt::kSetupTitle);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dd::ControlText(dialog, wt::kPathControl), preset);
        dd::PressEscape(dialog);
        ASSERT_TRUE(installer.WaitForExit(dd::kWindowWait));
        EXPECT_EQ(wt::ExitCode(installer), 1u);
    }
    // Another installer: 2, after its box.
    {
        UniqueHandle held(CreateMutexA(nullptr, TRUE, kMutexName));
        wt::StartedProcess installer = wt::StartProgram(PlaceInstaller("second"));
        std::optional<dd::MessageBoxView> box = dd::WaitForMessageBox(installer.id(), "Setup");
        ASSERT_TRUE(box);
        dd::Answer(box->window, IDOK);
        ASSERT_TRUE(installer.WaitForExit(dd::kWindowWait));
        EXPECT_EQ(wt::ExitCode(installer), 2u);
    }
    // A missing payload: 5, after its box.
    {
        wt::StartedProcess installer =
            wt::StartProgram(PlaceInstaller("missing"), "/D=" + data_ + "\\m\\QuenVox");
        HWND dialog = dd::WaitForDialog(installer.id(), wt::kSetupTitle);
        ASSERT_NE(dialog, nullptr);
        dd::Click(dialog, IDOK);
        ASSERT_TRUE(wt::WaitForExitClosingBoxes(installer, dd::kWindowWait));
        EXPECT_EQ(wt::ExitCode(installer), 5u);
    }
}
