// Every fact of the product compiled into the installer: its names and texts, its program files,
// shortcuts and registry entries. Narrow literals are stored in code page 936. A text made of
// others is joined here at compile time, so that no part of it is written twice.
#pragma once

#include <array>
#include <cstddef>

namespace product_detail {

// The characters of `parts` one after another with a single terminator.
template <std::size_t... N>
constexpr std::array<char, (N + ...) - sizeof...(N) + 1> Join(const char (&... parts)[N]) {
    std::array<char, (N + ...) - sizeof...(N) + 1> joined{};
    std::size_t at = 0;
    auto append = [&](const char* part, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) joined[at++] = part[i];
    };
    (append(parts, N - 1), ...);
    return joined;
}

}  // namespace product_detail

inline constexpr char kVersionText[] = "Ver:2011-II";
inline constexpr char kBuildText[] = "Build:12019";
inline constexpr char kProductName[] = "澜舟雅韵全球网络收音机";
inline constexpr char kPublisherText[] = "Quen Vox";

namespace product_detail {
inline constexpr auto kTitle = Join(kProductName, kVersionText, " ", kBuildText);
}
// The window title, and the uninstall entry's display name: the product name, the version text, a
// blank and the build.
inline constexpr const char* kProductTitle = product_detail::kTitle.data();

// Caption of a finished install button; the dialog tells a finished installation by these bytes.
inline constexpr char kFinishedCaption[] = "完成";

// The main program's file name as it is started and looked up among running processes.
inline constexpr char kMainProcessName[] = "QuenVox.exe";
// The media player the product drives; it holds the product's files while it runs.
inline constexpr char kPlayerProcessName[] = "mplayer.exe";

// The product's folder, always added below the folder the user picks.
inline constexpr char kProductFolder[] = "QuenVox";

namespace product_detail {
inline constexpr auto kMainProgramTail = Join("\\", kMainProcessName);
inline constexpr auto kProductFolderTail = Join("\\", kProductFolder);
}  // namespace product_detail
// The main program's path below the installation directory where the installer starts it: its
// process name behind a backslash, so that the program started is spelled as the one looked up.
inline constexpr const char* kMainProgramTail = product_detail::kMainProgramTail.data();
inline constexpr const char* kProductFolderTail = product_detail::kProductFolderTail.data();

inline constexpr char kPayloadFileName[] = "Data.cab";
inline constexpr char kHomePageUrl[] = "http://www.quenvox.com";

// The program files below the installation directory, each with its leading backslash.
enum class ProductFile { kMainProgram, kUninstaller, kRecorder, kRepairTool };
inline constexpr std::array<const char*, 4> kProductFileTails = {
    // The shortcuts and registry entries have always named the main program "Quenvox.exe", and
    // earlier installations' entries are compared with these byte for byte; Windows file names
    // ignore case, so this and kMainProgramTail name one file.
    "\\Quenvox.exe",
    "\\quenunset.exe",
    "\\QuenRecMp3.exe",
    "\\QuenMend.exe",
};

// The list of the files the payload puts into the installation directory, itself one of its
// top-level entries (payload-tool pack --file-list): what the uninstaller removes.
inline constexpr char kFileListName[] = "quenunset.lst";

enum class ShortcutFolder { kDesktop, kPrograms };

struct ProductShortcut {
    ShortcutFolder folder;
    const char* suffix;  // appended to the folder's path
    ProductFile target;
};

// The program group below the Start menu's programs folder.
inline constexpr char kProgramGroupSuffix[] = "\\澜舟雅韵";

// The six shortcuts, in the order they are written; the group folder is made before the first
// one in the programs folder.
inline constexpr std::array<ProductShortcut, 6> kProductShortcuts = {{
    {ShortcutFolder::kDesktop, "\\澜舟雅韵.lnk", ProductFile::kMainProgram},
    {ShortcutFolder::kPrograms, "\\澜舟雅韵\\澜舟雅韵.lnk", ProductFile::kMainProgram},
    {ShortcutFolder::kPrograms, "\\澜舟雅韵.lnk", ProductFile::kMainProgram},
    {ShortcutFolder::kPrograms, "\\澜舟雅韵\\卸载澜舟雅韵.lnk", ProductFile::kUninstaller},
    {ShortcutFolder::kPrograms, "\\澜舟雅韵\\录音转MP3工具.lnk", ProductFile::kRecorder},
    {ShortcutFolder::kPrograms, "\\澜舟雅韵\\电台修复.lnk", ProductFile::kRepairTool},
}};

// Where discovery looks for an earlier installation's main program: the desktop shortcut, then
// the one in the program group.
inline constexpr const ProductShortcut& kDesktopShortcut = kProductShortcuts[0];
inline constexpr const ProductShortcut& kGroupShortcut = kProductShortcuts[1];
static_assert(kDesktopShortcut.folder == ShortcutFolder::kDesktop &&
              kDesktopShortcut.target == ProductFile::kMainProgram);
static_assert(kGroupShortcut.folder == ShortcutFolder::kPrograms &&
              kGroupShortcut.target == ProductFile::kMainProgram);

// Registry entries, all below HKEY_LOCAL_MACHINE and all REG_SZ.
inline constexpr char kRunKey[] = "software\\microsoft\\windows\\currentversion\\Run";
inline constexpr char kUninstallKey[] = "software\\microsoft\\windows\\currentversion\\Uninstall";
// Name of the Run value and of the uninstall entry's subkey.
inline constexpr char kRegistryName[] = "Quenvox";
namespace product_detail {
inline constexpr auto kUninstallEntryKey = Join(kUninstallKey, "\\", kRegistryName);
}
inline constexpr const char* kUninstallEntryKey = product_detail::kUninstallEntryKey.data();
inline constexpr char kDisplayNameValue[] = "DisplayName";
inline constexpr char kDisplayVersionValue[] = "DisplayVersion";
inline constexpr char kPublisherValue[] = "Publisher";
inline constexpr char kDisplayIconValue[] = "DisplayIcon";
inline constexpr char kUninstallStringValue[] = "UninstallString";
