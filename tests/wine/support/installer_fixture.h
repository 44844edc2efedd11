// What the end-to-end tests of Setup.exe share: the installer's window texts, control ids and
// registry places, a fixture that starts each test from a system without the product, and the
// helpers that read back what an installer left.
#pragma once

#include "process_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace wt {

inline constexpr char kSetupTitle[] = "澜舟雅韵全球网络收音机Ver:2011-II Build:12019";
inline constexpr char kHomePage[] = "http://www.quenvox.com";
inline constexpr char kUninstallKey[] =
    "software\\microsoft\\windows\\currentversion\\Uninstall\\Quenvox";
inline constexpr char kRunKey[] = "software\\microsoft\\windows\\currentversion\\Run";
inline constexpr char kHtmlCommandKey[] = "htmlfile\\shell\\open\\command";

inline constexpr int kProgressControl = 1000;
inline constexpr int kUnusedEditControl = 1001;
inline constexpr int kBrowseButton = 1002;
inline constexpr int kPathControl = 1003;
inline constexpr int kAutoRunCheck = 1004;
inline constexpr UINT kAboutCommand = 0x10;

// Waits for an installer to end by itself; message boxes it shows on the way (the shell's own
// word on a program it could not start, for one) are closed with OK.
bool WaitForExitClosingBoxes(const StartedProcess& process, DWORD milliseconds);

// STILL_ACTIVE while the process runs.
DWORD ExitCode(const StartedProcess& process);

// A REG_SZ value up to its first terminator; "<missing>" when the key or value is missing.
std::string StoredString(HKEY root, const std::string& key, const std::string& name);

bool SamePath(const std::string& a, const std::string& b);

// The bytes of the stub program `stub` ("recorder_gui", ...), to stand in as a payload file.
std::string StubBytes(const std::string& stub);

// Each test starts from a system without the product: no traces of an earlier installation, no
// product or player running, and a browser (the recorder stub) that records how it was started.
class InstallerTest : public testing::Test {
  protected:
    void SetUp() override;

    // Where the installer puts its shortcuts: desktop, programs folder, product group.
    static std::vector<std::string> ShortcutPaths();

    // A copy of the built installer in a folder of its own below the scratch folder (created when
    // missing).
    std::string PlaceInstaller(const std::string& folder, const std::string& name = "Setup.exe");

    static std::string FolderOf(const std::string& path);

    std::string scratch_;
    std::string browser_;
};

}  // namespace wt
