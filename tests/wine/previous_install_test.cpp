// FindPreviousInstallDir against the real registry and real shortcuts of the test prefix: the
// uninstall entry first, then the desktop shortcut, then the Start-menu group shortcut.
#include "install/previous_install.h"

#include "install/product_registration.h"
#include "registry_support.h"
#include "shortcut_support.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kEntryKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quenvox";

std::string DesktopShortcut() {
    return wt::DesktopFolder() + "\\澜舟雅韵.lnk";
}
std::string GroupFolder() {
    return wt::ProgramsFolder() + "\\澜舟雅韵";
}
std::string GroupShortcut() {
    return GroupFolder() + "\\澜舟雅韵.lnk";
}
// The shortcut directly in the programs folder, which discovery does not read.
std::string ProgramsShortcut() {
    return wt::ProgramsFolder() + "\\澜舟雅韵.lnk";
}

class PreviousInstallTest : public ::testing::Test {
  protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }

    static void Clean() {
        for (const std::string& link : {DesktopShortcut(), GroupShortcut(), ProgramsShortcut()}) {
            DeleteFileA(link.c_str());
        }
        for (const std::string& name : wt::FolderEntries(GroupFolder())) {
            DeleteFileA((GroupFolder() + "\\" + name).c_str());
        }
        RemoveDirectoryA(GroupFolder().c_str());
        ASSERT_TRUE(wt::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kEntryKey));
    }

    static void WriteBothShortcuts(const std::string& desktopTarget,
                                   const std::string& groupTarget) {
        ASSERT_TRUE(wt::WriteShortcut(DesktopShortcut(), desktopTarget));
        ASSERT_TRUE(CreateDirectoryA(GroupFolder().c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
        ASSERT_TRUE(wt::WriteShortcut(GroupShortcut(), groupTarget));
    }
};

TEST_F(PreviousInstallTest, TheUninstallEntryDecidesWhenItsKeyExists) {
    enum class Value { kTerminated, kUnterminated, kMissing };
    // An uninstaller path of exactly 258 bytes: the most the read takes.
    const std::string longDir = "C:\\" + std::string(241, 'd');
    const std::string longest = longDir + "\\quenunset.exe";
    struct Case {
        const char* what;
        Value kind;
        std::string value;
        std::string expected;
    };
    const Case cases[] = {
        {"plain path", Value::kTerminated, "D:\\Apps\\Player\\quenunset.exe", "D:\\Apps\\Player"},
        {"quoted path keeps its quote", Value::kTerminated, "\"D:\\Apps\\Player\\quenunset.exe\"",
         "\"D:\\Apps\\Player"},
        {"no separator", Value::kTerminated, "quenunset.exe", "quenunset.exe"},
        {"forward slashes", Value::kTerminated, "D:/Apps/Player/quenunset.exe", "D:/Apps/Player"},
        {"double-byte names", Value::kTerminated, "D:\\澜舟雅韵\\quenunset.exe", "D:\\澜舟雅韵"},
        {"written without terminator", Value::kUnterminated, "D:\\Old\\quenunset.exe", "D:\\Old"},
        {"258 bytes without terminator", Value::kUnterminated, longest, longDir},
        {"257 bytes with terminator", Value::kTerminated, longest.substr(1), longDir.substr(1)},
        {"longer than the read allows", Value::kTerminated, "C" + longest, ""},
        {"key without the value", Value::kMissing, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clean();
        // Shortcuts that would give another answer, were they consulted.
        WriteBothShortcuts("E:\\Music\\Quenvox.exe", "F:\\Player\\Quenvox.exe");
        ASSERT_TRUE(wt::CreateRegistryKey(HKEY_LOCAL_MACHINE, kEntryKey));
        if (c.kind == Value::kTerminated) {
            ASSERT_TRUE(
                wt::WriteRegistryString(HKEY_LOCAL_MACHINE, kEntryKey, "UninstallString", c.value));
        } else if (c.kind == Value::kUnterminated) {
            ASSERT_TRUE(wt::WriteUnterminatedRegistryString(HKEY_LOCAL_MACHINE, kEntryKey,
                                                            "UninstallString", c.value));
            std::optional<wt::RegistryValue> stored =
                wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kEntryKey, "UninstallString");
            ASSERT_TRUE(stored.has_value());
            ASSERT_EQ(stored->data.size(), c.value.size()) << "stored with a terminator";
        }
        EXPECT_EQ(FindPreviousInstallDir(nullptr), c.expected);
    }
}

TEST_F(PreviousInstallTest, WithoutTheEntryTheShortcutsAreAskedInTurn) {
    enum class Link { kNone, kMusic, kPlayer, kNotALink, kNoPath };
    struct Case {
        const char* what;
        Link desktop;
        Link group;
        bool programsShortcut;  // the one directly in the programs folder
        std::string expected;
    };
    const Case cases[] = {
        {"desktop first", Link::kMusic, Link::kPlayer, true, "E:\\Music"},
        {"group when the desktop has none", Link::kNone, Link::kPlayer, true, "F:\\Player"},
        {"group when the desktop one is no shortcut", Link::kNotALink, Link::kPlayer, false,
         "F:\\Player"},
        {"a desktop shortcut without a path still decides", Link::kNoPath, Link::kPlayer, false,
         ""},
        {"the programs folder's own shortcut is not read", Link::kNone, Link::kNone, true, ""},
        {"no trace at all", Link::kNone, Link::kNone, false, ""},
    };
    auto write = [](const std::string& link, Link kind) {
        switch (kind) {
            case Link::kNone:
                return true;
            case Link::kMusic:
                return wt::WriteShortcut(link, "E:\\Music\\Quenvox.exe");
            case Link::kPlayer:
                return wt::WriteShortcut(link, "F:\\Player\\Quenvox.exe");
            case Link::kNotALink:
                return wt::WriteFileBytes(link, {'j', 'u', 'n', 'k'});
            case Link::kNoPath:
                return wt::WriteShortcutToComputerFolder(link);
        }
        return false;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clean();
        ASSERT_TRUE(CreateDirectoryA(GroupFolder().c_str(), nullptr));
        ASSERT_TRUE(write(DesktopShortcut(), c.desktop));
        ASSERT_TRUE(write(GroupShortcut(), c.group));
        if (c.programsShortcut) {
            ASSERT_TRUE(wt::WriteShortcut(ProgramsShortcut(), "G:\\Elsewhere\\Quenvox.exe"));
        }
        EXPECT_EQ(FindPreviousInstallDir(nullptr), c.expected);
    }
}

TEST_F(PreviousInstallTest, FindsWhatRegistrationLeft) {
    RegisterProduct("D:\\Apps\\Player", 0);
    EXPECT_EQ(FindPreviousInstallDir(nullptr), "D:\\Apps\\Player");
    // Each trace alone still leads there.
    ASSERT_TRUE(wt::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kEntryKey));
    EXPECT_EQ(FindPreviousInstallDir(nullptr), "D:\\Apps\\Player");
    ASSERT_TRUE(DeleteFileA(DesktopShortcut().c_str()));
    EXPECT_EQ(FindPreviousInstallDir(nullptr), "D:\\Apps\\Player");
    ASSERT_TRUE(DeleteFileA(GroupShortcut().c_str()));
    EXPECT_EQ(FindPreviousInstallDir(nullptr), "");
}

}  // namespace
