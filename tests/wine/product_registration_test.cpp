// RegisterProduct against the real shell and the real registry of the test prefix: the six
// shortcuts, the Run value and the uninstall entry, with the sizes handed to RegSetValueExA.
#include "install/product_registration.h"

#include "import_hook.h"
#include "registry_support.h"
#include "shortcut_support.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kEntryKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quenvox";

// 澜舟雅韵全球网络收音机Ver:2011-II Build:12019 in code page 936.
const std::string kDisplayName =
    "\xC0\xBD\xD6\xDB\xD1\xC5\xD4\xCF\xC8\xAB\xC7\xF2\xCD\xF8\xC2\xE7\xCA\xD5\xD2\xF4\xBB\xFA"
    "Ver:2011-II Build:12019";

struct ExpectedShortcut {
    std::string link;
    std::string target;
};

// The six shortcuts for an installation in `dir`, in the order they are written.
std::vector<ExpectedShortcut> ShortcutsFor(const std::string& dir) {
    const std::string desktop = wt::DesktopFolder();
    const std::string group = wt::ProgramsFolder() + "\\澜舟雅韵";
    return {
        {desktop + "\\澜舟雅韵.lnk", dir + "\\Quenvox.exe"},
        {group + "\\澜舟雅韵.lnk", dir + "\\Quenvox.exe"},
        {wt::ProgramsFolder() + "\\澜舟雅韵.lnk", dir + "\\Quenvox.exe"},
        {group + "\\卸载澜舟雅韵.lnk", dir + "\\quenunset.exe"},
        {group + "\\录音转MP3工具.lnk", dir + "\\QuenRecMp3.exe"},
        {group + "\\电台修复.lnk", dir + "\\QuenMend.exe"},
    };
}

void RemoveShortcuts() {
    for (const ExpectedShortcut& shortcut : ShortcutsFor("")) DeleteFileA(shortcut.link.c_str());
    RemoveDirectoryA((wt::ProgramsFolder() + "\\澜舟雅韵").c_str());
}

// Checks the shortcut at `link`: absent when `target` is empty, otherwise starting `target` with
// the installer's hotkey.
void ExpectShortcut(const std::string& link, const std::string& target) {
    SCOPED_TRACE(link);
    std::optional<wt::ShortcutContents> contents = wt::ReadShortcut(link);
    if (target.empty()) {
        EXPECT_FALSE(wt::FileExistsAt(link));
        return;
    }
    ASSERT_TRUE(contents.has_value());
    EXPECT_EQ(contents->target, target);
    EXPECT_EQ(contents->hotkey, 0x0352);
}

// Each value of the uninstall entry as RegSetValueExA must receive it: the text and its zero.
std::vector<std::pair<std::string, std::string>> EntryValuesFor(const std::string& dir) {
    return {
        {"DisplayName", kDisplayName},
        {"DisplayVersion", "Ver:2011-II"},
        {"Publisher", "Quen Vox"},
        {"DisplayIcon", dir + "\\quenunset.exe"},
        {"UninstallString", dir + "\\quenunset.exe"},
    };
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class ProductRegistrationTest : public ::testing::Test {
  protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }

    static void Clean() {
        RemoveShortcuts();
        CreateDirectoryA(wt::DesktopFolder().c_str(), nullptr);
        ASSERT_TRUE(wt::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kEntryKey));
        ASSERT_TRUE(wt::CreateRegistryKey(HKEY_LOCAL_MACHINE, kRunKey));
        ASSERT_TRUE(wt::DeleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Quenvox"));
    }
};

TEST_F(ProductRegistrationTest, WritesTheSixShortcutsWithTheirTargets) {
    const std::string dir = "D:\\Apps\\Player";
    EXPECT_EQ(RegisterProduct(dir, 0), 1);
    for (const ExpectedShortcut& shortcut : ShortcutsFor(dir)) {
        ExpectShortcut(shortcut.link, shortcut.target);
    }
    EXPECT_EQ(wt::FolderEntries(wt::ProgramsFolder() + "\\澜舟雅韵").size(), 4u);
}

TEST_F(ProductRegistrationTest, WritesTheUninstallEntryWithTerminatedStrings) {
    const std::string dir = "D:\\Apps\\Player";
    wt::RegSetValueRecorder recorder;
    ASSERT_TRUE(recorder.Installed());
    EXPECT_EQ(RegisterProduct(dir, 0), 1);

    // What the program handed over: the five values in order, each REG_SZ with its zero.
    std::vector<wt::RecordedValueWrite> writes = recorder.Writes();
    const auto expected = EntryValuesFor(dir);
    ASSERT_EQ(writes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_TRUE(EndsWith(writes[i].keyPath, "\\uninstall\\quenvox")) << writes[i].keyPath;
        EXPECT_EQ(writes[i].name, expected[i].first);
        EXPECT_EQ(writes[i].type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(writes[i].data, wt::TerminatedBytes(expected[i].second));
    }

    // What the registry holds: the same five values and no others.
    for (const auto& [name, text] : expected) {
        SCOPED_TRACE(name);
        std::optional<wt::RegistryValue> value =
            wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kEntryKey, name);
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(value->data, wt::TerminatedBytes(text));
    }
    EXPECT_EQ(wt::RegistryValueNames(HKEY_LOCAL_MACHINE, kEntryKey).size(), expected.size());
}

TEST_F(ProductRegistrationTest, WritesTheRunValueOnlyWhenAskedAndOnlyIntoAnExistingKey) {
    const std::string dir = "D:\\Apps\\Player";
    const std::string mainProgram = dir + "\\Quenvox.exe";
    struct Case {
        const char* what;
        int autoRun;
        bool runKeyExists;
        std::string earlierValue;  // a Run value left by an earlier installation, or empty
        std::string expected;      // the Run value afterwards, empty when there is none
    };
    const Case cases[] = {
        {"asked", 1, true, "", mainProgram},
        {"asked with another non-zero flag", 2, true, "", mainProgram},
        {"not asked", 0, true, "", ""},
        {"not asked, earlier value stays", 0, true, "E:\\Old\\Quenvox.exe", "E:\\Old\\Quenvox.exe"},
        {"asked, earlier value replaced", 1, true, "E:\\Old\\Quenvox.exe", mainProgram},
        {"asked but no Run key", 1, false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clean();
        if (!c.earlierValue.empty()) {
            ASSERT_TRUE(
                wt::WriteRegistryString(HKEY_LOCAL_MACHINE, kRunKey, "Quenvox", c.earlierValue));
        }
        if (!c.runKeyExists) {
            ASSERT_TRUE(wt::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kRunKey));
        }

        wt::RegSetValueRecorder recorder;
        ASSERT_TRUE(recorder.Installed());
        EXPECT_EQ(RegisterProduct(dir, c.autoRun), 1);

        EXPECT_EQ(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kRunKey), c.runKeyExists);
        std::optional<wt::RegistryValue> value =
            wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Quenvox");
        if (c.expected.empty()) {
            EXPECT_FALSE(value.has_value());
        } else {
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(value->data, wt::TerminatedBytes(c.expected));
        }
        int runWrites = 0;
        for (const wt::RecordedValueWrite& write : recorder.Writes()) {
            if (!EndsWith(write.keyPath, "\\currentversion\\run")) continue;
            ++runWrites;
            EXPECT_EQ(write.name, "Quenvox");
            EXPECT_EQ(write.data, wt::TerminatedBytes(mainProgram));
        }
        EXPECT_EQ(runWrites, c.autoRun != 0 && c.runKeyExists ? 1 : 0);
        // The uninstall entry does not depend on any of this.
        EXPECT_TRUE(
            wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kEntryKey, "UninstallString").has_value());
    }
}

TEST_F(ProductRegistrationTest, SecondRegistrationRewritesTheSameShortcutsAndValues) {
    EXPECT_EQ(RegisterProduct("E:\\Old", 1), 1);
    ASSERT_TRUE(
        wt::WriteRegistryString(HKEY_LOCAL_MACHINE, kEntryKey, "InstallLocation", "E:\\Old"));

    const std::string dir = "D:\\Apps\\Player";
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "over an earlier installation elsewhere" : "twice into one place");
        EXPECT_EQ(RegisterProduct(dir, 1), 1);
        for (const ExpectedShortcut& shortcut : ShortcutsFor(dir)) {
            ExpectShortcut(shortcut.link, shortcut.target);
        }
        EXPECT_EQ(wt::FolderEntries(wt::ProgramsFolder() + "\\澜舟雅韵").size(), 4u);
        for (const auto& [name, text] : EntryValuesFor(dir)) {
            std::optional<wt::RegistryValue> value =
                wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kEntryKey, name);
            ASSERT_TRUE(value.has_value()) << name;
            EXPECT_EQ(value->data, wt::TerminatedBytes(text)) << name;
        }
        std::optional<wt::RegistryValue> runValue =
            wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Quenvox");
        ASSERT_TRUE(runValue.has_value());
        EXPECT_EQ(runValue->data, wt::TerminatedBytes(dir + "\\Quenvox.exe"));
        // Values of other writers stay.
        std::optional<wt::RegistryValue> foreign =
            wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kEntryKey, "InstallLocation");
        ASSERT_TRUE(foreign.has_value());
        EXPECT_EQ(foreign->data, wt::TerminatedBytes("E:\\Old"));
    }
}

int g_failingFolder = -1;

// SHGetSpecialFolderLocation failing for one folder, the real one for every other.
HRESULT WINAPI FolderLocationFailingOne(HWND owner, int csidl, LPITEMIDLIST* out) {
    if (csidl == g_failingFolder) {
        *out = nullptr;
        return E_FAIL;
    }
    using Function = HRESULT(WINAPI*)(HWND, int, LPITEMIDLIST*);
    static const auto real = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("shell32.dll"), "SHGetSpecialFolderLocation")));
    return real(owner, csidl, out);
}

TEST_F(ProductRegistrationTest, AMissingFolderSkipsOnlyItsOwnShortcuts) {
    const std::string dir = "D:\\Apps\\Player";
    const std::vector<ExpectedShortcut> all = ShortcutsFor(dir);
    struct Case {
        const char* what;
        bool removeDesktopFolder;
        int failingFolder;
        std::vector<bool> present;  // per shortcut, in the order of ShortcutsFor
    };
    const Case cases[] = {
        {"desktop folder deleted", true, -1, {false, true, true, true, true, true}},
        {"desktop folder not found", false, CSIDL_DESKTOP, {false, true, true, true, true, true}},
        {"programs folder not found",
         false,
         CSIDL_PROGRAMS,
         {true, false, false, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clean();
        if (c.removeDesktopFolder) {
            ASSERT_TRUE(wt::FolderEntries(wt::DesktopFolder()).empty());
            ASSERT_TRUE(RemoveDirectoryA(wt::DesktopFolder().c_str()));
        }
        g_failingFolder = c.failingFolder;
        std::optional<wt::ImportHook> hook;
        if (c.failingFolder >= 0) {
            hook.emplace("shell32.dll", "SHGetSpecialFolderLocation",
                         reinterpret_cast<void*>(&FolderLocationFailingOne));
            ASSERT_TRUE(hook->Installed());
        }

        EXPECT_EQ(RegisterProduct(dir, 1), 1);
        hook.reset();

        for (std::size_t i = 0; i < all.size(); ++i) {
            ExpectShortcut(all[i].link, c.present[i] ? all[i].target : "");
        }
        // Without its folder path nothing at all is made in the Start menu, the group included.
        EXPECT_EQ(wt::DirectoryExists(wt::ProgramsFolder() + "\\澜舟雅韵"),
                  c.failingFolder != CSIDL_PROGRAMS);
        if (c.removeDesktopFolder) {
            EXPECT_FALSE(wt::DirectoryExists(wt::DesktopFolder()));
        }
        EXPECT_TRUE(wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Quenvox").has_value());
        for (const auto& [name, text] : EntryValuesFor(dir)) {
            std::optional<wt::RegistryValue> value =
                wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kEntryKey, name);
            ASSERT_TRUE(value.has_value()) << name;
            EXPECT_EQ(value->data, wt::TerminatedBytes(text)) << name;
        }
    }
}

TEST_F(ProductRegistrationTest, PathsThatDoNotFitAreSkippedNotCut) {
    // 246 bytes: the main program (258 bytes) and the repair tool (259) still fit MAX_PATH with
    // their terminator, the uninstaller (260) and the recorder (261) do not.
    const std::string dir = "C:\\" + std::string(243, 'd');
    EXPECT_EQ(RegisterProduct(dir, 1), 1);

    const std::vector<ExpectedShortcut> all = ShortcutsFor(dir);
    const bool fits[] = {true, true, true, false, false, true};
    for (std::size_t i = 0; i < all.size(); ++i) {
        ExpectShortcut(all[i].link, fits[i] ? all[i].target : "");
    }
    EXPECT_EQ(wt::FolderEntries(wt::ProgramsFolder() + "\\澜舟雅韵").size(), 2u);

    std::optional<wt::RegistryValue> run =
        wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Quenvox");
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->data, wt::TerminatedBytes(dir + "\\Quenvox.exe"));
    for (const auto& [name, text] : EntryValuesFor(dir)) {
        SCOPED_TRACE(name);
        std::optional<wt::RegistryValue> value =
            wt::ReadRegistryValue(HKEY_LOCAL_MACHINE, kEntryKey, name);
        const bool namesUninstaller = name == "DisplayIcon" || name == "UninstallString";
        ASSERT_EQ(value.has_value(), !namesUninstaller);
        if (value) {
            EXPECT_EQ(value->data, wt::TerminatedBytes(text));
        }
    }
}

}  // namespace
