// Setup.exe with a payload that carries its checksums but arrived damaged, over an earlier
// installation, driven through its dialog: the same box as for a missing payload, no file of the
// earlier installation replaced, no temporary left and nothing registered.
#include "dialog_driver.h"
#include "installer_fixture.h"
#include "payload_builder.h"
#include "process_support.h"
#include "registry_support.h"
#include "test_fs.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using wt::InstallerTest;

constexpr char kDamaged[] = "安装失败,请重新下载新的安装包!";

TEST_F(InstallerTest, ADamagedPayloadIsRefusedAndNothingIsRegistered) {
    // In the order the payload tool packs them; QuenVox.exe is the third.
    const std::vector<tpayload::Entry> entries = {
        {"", "QuenMend.exe", "repair tool"},
        {"", "QuenRecMp3.exe", "recorder tool"},
        {"", "QuenVox.exe", std::string(3 * 1024 * 1024, 'p')},
        {"", "quenunset.exe", "uninstaller"},
        {"\\data", "stations.txt", "stations"},
    };
    const std::vector<unsigned char> sealed = tpayload::BuildWithChecksums(entries);
    const std::size_t thirdData =
        tpayload::Build({entries[0], entries[1]}).size() + 1 + 12 + 4;  // QuenVox.exe's data
    const std::size_t trailer = tpayload::Build(entries).size();
    const std::map<std::string, std::string> earlier = {
        {"QuenVox.exe", wt::StubBytes("recorder_gui")}, {"quenunset.exe", "earlier uninstaller"}};

    struct Case {
        const char* label;
        std::size_t flipped;
        std::map<std::string, std::string> after;  // the whole install folder afterwards
    };
    const Case cases[] = {
        // Found while QuenVox.exe is copied, in its last megabyte: the files before it were
        // written to temporaries only, so nothing is replaced.
        {"data", thirdData + 3 * 1024 * 1024 - 10, earlier},
        // Found by the header pass: nothing is written.
        {"trailer", trailer + 8, earlier},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string target = scratch_ + "\\" + c.label + "\\QuenVox";
        ASSERT_TRUE(tfs::MakeDirectory(scratch_ + "\\" + c.label));
        ASSERT_TRUE(tfs::MakeDirectory(target));
        for (const auto& [name, data] : earlier) {
            ASSERT_TRUE(wt::WriteFileBytes(target + "\\" + name, {data.begin(), data.end()}));
        }
        // The earlier installation the dialog proposes, known from its uninstall entry.
        ASSERT_TRUE(wt::WriteRegistryString(HKEY_LOCAL_MACHINE, wt::kUninstallKey,
                                            "UninstallString", target + "\\quenunset.exe"));
        std::string setup = PlaceInstaller(std::string("download-") + c.label);
        std::vector<unsigned char> payload = sealed;
        payload[c.flipped] ^= 0x20;
        ASSERT_TRUE(wt::WriteFileBytes(FolderOf(setup) + "\\Data.cab", payload));

        wt::StartedProcess installer = wt::StartProgram(setup);
        HWND dialog = dd::WaitForDialog(installer.id(), wt::kSetupTitle);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dd::ControlText(dialog, wt::kPathControl), target);
        dd::Click(dialog, IDOK);
        std::optional<dd::MessageBoxView> box = dd::WaitForMessageBox(installer.id(), "Setup");
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, kDamaged);
        dd::Answer(box->window, IDOK);
        ASSERT_TRUE(wt::WaitForExitClosingBoxes(installer, dd::kSlowWindowWait));

        // The damaged file kept its earlier content; no temporary is left beside it. (The
        // product's stand-in, started after a failed run as after any other, leaves its records.)
        EXPECT_EQ(tfs::Tree(target, ".log"), c.after);
        // Nothing registered: the uninstall entry holds what it held, no Run value, no shortcuts.
        EXPECT_EQ(wt::RegistryValueNames(HKEY_LOCAL_MACHINE, wt::kUninstallKey),
                  std::vector<std::string>{"UninstallString"});
        EXPECT_FALSE(wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, wt::kRunKey, "Quenvox"));
        for (const std::string& link : ShortcutPaths()) {
            EXPECT_FALSE(wt::FileExistsAt(link)) << link;
        }
    }
}

}  // namespace
