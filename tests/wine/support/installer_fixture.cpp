#include "installer_fixture.h"

#include "dialog_driver.h"
#include "registry_support.h"
#include "shortcut_support.h"
#include "system/win_resource.h"
#include "wine_test_support.h"

#include <optional>

namespace wt {

bool WaitForExitClosingBoxes(const StartedProcess& process, DWORD milliseconds) {
    return dd::WaitUntil(
        [&] {
            for (const dd::MessageBoxView& box : dd::MessageBoxes(process.id())) {
                dd::Answer(box.window, IDOK);
            }
            return process.WaitForExit(0);
        },
        milliseconds);
}

DWORD ExitCode(const StartedProcess& process) {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.handle(), &code);
    return code;
}

std::string StoredString(HKEY root, const std::string& key, const std::string& name) {
    std::optional<RegistryValue> value = ReadRegistryValue(root, key, name);
    if (!value) return "<missing>";
    std::string text(value->data.begin(), value->data.end());
    return text.substr(0, text.find('\0'));
}

bool SamePath(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_EQUAL;
}

std::string StubBytes(const std::string& stub) {
    std::vector<unsigned char> bytes = ReadFileBytes(StubDirectory() + stub + ".exe");
    return std::string(bytes.begin(), bytes.end());
}

void InstallerTest::SetUp() {
    ASSERT_TRUE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallKey));
    ASSERT_TRUE(CreateRegistryKey(HKEY_LOCAL_MACHINE, kRunKey));
    {
        UniqueRegKey run;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, run.put()),
                  ERROR_SUCCESS);
        RegDeleteValueA(run.get(), "Quenvox");
    }
    for (const std::string& link : ShortcutPaths()) DeleteFileA(link.c_str());
    ASSERT_TRUE(dd::WaitUntil(
        [] {
            return ListedProcessIds("QuenVox.exe").empty() &&
                   ListedProcessIds("mplayer.exe").empty();
        },
        dd::kWindowWait));

    scratch_ = MakeScratchDirectory("setup");
    ASSERT_FALSE(scratch_.empty());
    browser_ = scratch_ + "\\browser.exe";
    ASSERT_TRUE(CopyStub("recorder_gui", browser_));
    ASSERT_TRUE(DeleteRegistryTree(HKEY_CLASSES_ROOT, kHtmlCommandKey));
    ASSERT_TRUE(WriteRegistryString(HKEY_CLASSES_ROOT, kHtmlCommandKey, "",
                                    "\"" + browser_ + "\" -nohome"));
}

std::vector<std::string> InstallerTest::ShortcutPaths() {
    std::string programs = ProgramsFolder();
    return {DesktopFolder() + "\\澜舟雅韵.lnk",
            programs + "\\澜舟雅韵\\澜舟雅韵.lnk",
            programs + "\\澜舟雅韵.lnk",
            programs + "\\澜舟雅韵\\卸载澜舟雅韵.lnk",
            programs + "\\澜舟雅韵\\录音转MP3工具.lnk",
            programs + "\\澜舟雅韵\\电台修复.lnk"};
}

std::string InstallerTest::PlaceInstaller(const std::string& folder, const std::string& name) {
    std::string directory = scratch_ + "\\" + folder;
    CreateDirectoryA(directory.c_str(), nullptr);
    std::string path = directory + "\\" + name;
    EXPECT_TRUE(CopyFileA((ProgramDirectory() + "Setup.exe").c_str(), path.c_str(), FALSE));
    return path;
}

std::string InstallerTest::FolderOf(const std::string& path) {
    return path.substr(0, path.find_last_of('\\'));
}

}  // namespace wt
