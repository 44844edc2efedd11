// quenunset.exe, the sample product's uninstaller, run as a process on folders laid out here: a
// copy of the built program, files, and the file list the payload tool would have packed. It must
// remove what its list names inside its folder and nothing else, tell a list line that reaches
// outside, keep itself and its list when something listed cannot go, and leave alone the
// shortcuts and registry entries of another installation.
#include "dialog_driver.h"
#include "installer_fixture.h"
#include "process_support.h"
#include "registry_support.h"
#include "shortcut_support.h"
#include "system/win_resource.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

constexpr char kCaption[] = "卸载澜舟雅韵";
constexpr char kUninstallKey[] = "software\\microsoft\\windows\\currentversion\\Uninstall\\Quenvox";
constexpr char kRunKey[] = "software\\microsoft\\windows\\currentversion\\Run";
constexpr DWORD kRunWait = 60000;

std::string Uninstaller() {
    std::array<char, MAX_PATH> full{};
    const std::string path = wt::ProgramDirectory() + "..\\sample\\product\\quenunset.exe";
    GetFullPathNameA(path.c_str(), MAX_PATH, full.data(), nullptr);
    return full.data();
}

bool Write(const std::string& path, const std::string& text) {
    return wt::WriteFileBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

class UninstallerTest : public testing::Test {
  protected:
    void SetUp() override {
        scratch_ = wt::MakeScratchDirectory("uninst");
        ASSERT_FALSE(scratch_.empty());
        folder_ = scratch_ + "\\QuenVox";
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
        ASSERT_TRUE(CopyFileA(Uninstaller().c_str(), (folder_ + "\\quenunset.exe").c_str(), FALSE));
    }

    // Files below the product folder, and the list naming them (and the uninstaller) in order.
    void Lay(const std::vector<std::string>& files,
             const std::vector<std::string>& extraLines = {}) {
        std::string list = "quenunset.exe\r\n";
        for (const std::string& file : files) {
            const std::string path = folder_ + "\\" + file;
            for (std::size_t cut = path.find('\\', folder_.size() + 1); cut != std::string::npos;
                 cut = path.find('\\', cut + 1)) {
                CreateDirectoryA(path.substr(0, cut).c_str(), nullptr);
            }
            ASSERT_TRUE(Write(path, file)) << path;
            list += file + "\r\n";
        }
        for (const std::string& line : extraLines) list += line + "\r\n";
        ASSERT_TRUE(Write(folder_ + "\\quenunset.lst", list));
    }

    DWORD RunSilently() {
        wt::StartedProcess run = wt::StartProgram(folder_ + "\\quenunset.exe", "/S");
        EXPECT_TRUE(run.WaitForExit(kRunWait));
        return wt::ExitCode(run);
    }

    // The uninstaller's copy removes it and its folder just after it has ended.
    bool FolderGoes() {
        return dd::WaitUntil([&] { return !wt::DirectoryExists(folder_); }, dd::kWindowWait);
    }

    std::string scratch_;
    std::string folder_;
};

TEST_F(UninstallerTest, RefusesListLinesThatReachOutsideItsFolderAndRemovesNothingForThem) {
    // Each line aims at a file outside the product folder that must survive.
    const std::string outside = scratch_ + "\\outside.txt";
    const std::string sibling = scratch_ + "\\QuenVox2\\sibling.txt";
    const std::string baitFolder = scratch_ + "\\bait";
    const std::string rooted = scratch_.substr(2);  // "\tests\...": the drive's root
    struct Case {
        std::string line;
        std::string target;
    };
    const Case cases[] = {
        {"..\\outside.txt", outside},
        {"data\\..\\..\\outside.txt", outside},
        {"data/../../outside.txt", outside},
        {"...\\outside.txt", outside},
        {". .\\outside.txt", outside},
        {"..\\QuenVox2\\sibling.txt", sibling},
        {"..\\bait", baitFolder},
        {scratch_ + "\\outside.txt", outside},
        {rooted + "\\outside.txt", outside},
        {"C:outside.txt", outside},  // the drive's current folder, wherever that is
        {std::string("\\\\?\\") + outside, outside},
        {std::string("\\\\localhost\\C$") + rooted + "\\outside.txt", outside},
        {std::string("\\\\.\\") + outside, outside},
        {std::string("/") + rooted.substr(1) + "/outside.txt", outside},
    };
    ASSERT_TRUE(Write(outside, "outside"));
    ASSERT_TRUE(CreateDirectoryA((scratch_ + "\\QuenVox2").c_str(), nullptr));
    ASSERT_TRUE(Write(sibling, "sibling"));
    ASSERT_TRUE(CreateDirectoryA(baitFolder.c_str(), nullptr));
    std::vector<std::string> bad;
    for (const Case& c : cases) bad.push_back(c.line);
    Lay({"Quenvox.exe", "data\\a.ini"}, bad);

    EXPECT_EQ(RunSilently(), 2u) << "refused lines are not a complete removal";
    for (const Case& c : cases) {
        EXPECT_NE(GetFileAttributesA(c.target.c_str()), INVALID_FILE_ATTRIBUTES) << c.line;
    }
    // Everything the good lines name is gone, and so, with nothing else left, is the folder.
    EXPECT_TRUE(FolderGoes());
}

TEST_F(UninstallerTest, NoToTheQuestionChangesNothing) {
    Lay({"Quenvox.exe", "data\\a.ini"});
    wt::StartedProcess run = wt::StartProgram(folder_ + "\\quenunset.exe");
    std::optional<dd::MessageBoxView> question = dd::WaitForMessageBox(run.id(), kCaption);
    ASSERT_TRUE(question);
    EXPECT_EQ(question->text, "确定要卸载澜舟雅韵吗?");
    dd::Answer(question->window, IDNO);
    ASSERT_TRUE(run.WaitForExit(dd::kWindowWait));
    EXPECT_EQ(wt::ExitCode(run), 1u);
    EXPECT_TRUE(dd::MessageBoxes(run.id()).empty());
    for (const char* file : {"quenunset.exe", "quenunset.lst", "Quenvox.exe", "data\\a.ini"}) {
        EXPECT_TRUE(wt::FileExistsAt(folder_ + "\\" + file)) << file;
    }
}

TEST_F(UninstallerTest, AFileInUseStaysNamedAndTheUninstallerStaysToRunAgain) {
    Lay({"Quenvox.exe", "data\\a.ini", "data\\b.ini"});
    ASSERT_TRUE(wt::WriteRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString",
                                        folder_ + "\\quenunset.exe"));
    const std::string held = folder_ + "\\data\\b.ini";
    UniqueFileHandle inUse(CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(inUse);

    wt::StartedProcess run = wt::StartProgram(folder_ + "\\quenunset.exe");
    std::optional<dd::MessageBoxView> question = dd::WaitForMessageBox(run.id(), kCaption);
    ASSERT_TRUE(question);
    dd::Answer(question->window, IDYES);
    ASSERT_TRUE(dd::WaitForWindowGone(question->window));
    std::optional<dd::MessageBoxView> told = dd::WaitForMessageBox(run.id(), kCaption, kRunWait);
    ASSERT_TRUE(told);
    EXPECT_EQ(told->text,
              "澜舟雅韵未能完全删除。\r\n\r\n以下项目无法删除,可能正在使用。"
              "关闭相关程序后可再次运行卸载程序:\r\n" +
                  held + "\r\n\r\n安装文件夹保留在:\r\n" + folder_);
    dd::Answer(told->window, IDOK);
    ASSERT_TRUE(run.WaitForExit(dd::kWindowWait));
    EXPECT_EQ(wt::ExitCode(run), 2u);
    EXPECT_FALSE(wt::FileExistsAt(folder_ + "\\Quenvox.exe"));
    EXPECT_FALSE(wt::FileExistsAt(folder_ + "\\data\\a.ini"));
    // What it takes to finish later stays: the uninstaller, its list and the uninstall entry.
    Sleep(2000);
    EXPECT_TRUE(wt::FileExistsAt(folder_ + "\\quenunset.exe"));
    EXPECT_TRUE(wt::FileExistsAt(folder_ + "\\quenunset.lst"));
    EXPECT_TRUE(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));

    inUse.reset();
    EXPECT_EQ(RunSilently(), 0u);
    EXPECT_TRUE(FolderGoes());
    EXPECT_FALSE(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

TEST_F(UninstallerTest, WithoutItsFileListNothingIsRemoved) {
    Lay({"Quenvox.exe"});
    ASSERT_TRUE(DeleteFileA((folder_ + "\\quenunset.lst").c_str()));
    ASSERT_TRUE(wt::WriteRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString",
                                        folder_ + "\\quenunset.exe"));
    EXPECT_EQ(RunSilently(), 3u);
    Sleep(1000);
    EXPECT_TRUE(wt::FileExistsAt(folder_ + "\\Quenvox.exe"));
    EXPECT_TRUE(wt::FileExistsAt(folder_ + "\\quenunset.exe"));
    EXPECT_TRUE(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    ASSERT_TRUE(wt::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallKey));
}

TEST_F(UninstallerTest, ShortcutsAndRegistryEntriesOfAnotherInstallationStay) {
    struct Case {
        const char* label;
        bool ours;
    };
    for (const Case& c : {Case{"another installation's", false}, Case{"its own", true}}) {
        SCOPED_TRACE(c.label);
        const std::string other = scratch_ + "\\Elsewhere";
        const std::string target = c.ours ? folder_ : other;
        Lay({"Quenvox.exe"});
        const std::string desktopLink = wt::DesktopFolder() + "\\澜舟雅韵.lnk";
        const std::string group = wt::ProgramsFolder() + "\\澜舟雅韵";
        const std::string groupLink = group + "\\卸载澜舟雅韵.lnk";
        CreateDirectoryA(wt::ProgramsFolder().c_str(), nullptr);
        ASSERT_TRUE(CreateDirectoryA(group.c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
        ASSERT_TRUE(wt::WriteShortcut(desktopLink, target + "\\Quenvox.exe"));
        ASSERT_TRUE(wt::WriteShortcut(groupLink, target + "\\quenunset.exe"));
        ASSERT_TRUE(wt::CreateRegistryKey(HKEY_LOCAL_MACHINE, kRunKey));
        ASSERT_TRUE(wt::WriteRegistryString(HKEY_LOCAL_MACHINE, kRunKey, "Quenvox",
                                            "\"" + target + "\\Quenvox.exe\""));
        ASSERT_TRUE(wt::WriteRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString",
                                            target + "\\quenunset.exe"));

        EXPECT_EQ(RunSilently(), 0u);
        EXPECT_TRUE(FolderGoes());
        EXPECT_EQ(wt::FileExistsAt(desktopLink), !c.ours);
        EXPECT_EQ(wt::FileExistsAt(groupLink), !c.ours);
        EXPECT_EQ(wt::DirectoryExists(group), !c.ours) << "the group goes once it is empty";
        EXPECT_EQ(wt::RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey), !c.ours);
        EXPECT_EQ(wt::StoredString(HKEY_LOCAL_MACHINE, kRunKey, "Quenvox"),
                  c.ours ? "<missing>" : "\"" + other + "\\Quenvox.exe\"");

        DeleteFileA(desktopLink.c_str());
        DeleteFileA(groupLink.c_str());
        RemoveDirectoryA(group.c_str());
        wt::DeleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Quenvox");
        wt::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
        ASSERT_TRUE(CopyFileA(Uninstaller().c_str(), (folder_ + "\\quenunset.exe").c_str(), FALSE));
    }
}

}  // namespace
