// The product's program files, the shortcuts that start them and the registry entries that name
// them: shared by registration and by discovery of an earlier installation.
#pragma once

#include "install/product_constants.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Paths hold at most this many bytes with their terminator (MAX_PATH).
inline constexpr std::size_t kPathBufferSize = 260;

// `head` followed by `tail` when the whole fits kPathBufferSize with its terminator. A path that
// does not fit is refused, never cut into another, shorter path.
std::optional<std::string> JoinPath(std::string_view head, std::string_view tail);

enum class ProductFile { kMainProgram, kUninstaller, kRecorder, kRepairTool };

// File name of each program below the installation directory, with its leading backslash.
std::string_view ProductFileTail(ProductFile file);

// The program's full path in `installDir` (no trailing separator); nullopt when it does not fit.
std::optional<std::string> ProductFilePath(std::string_view installDir, ProductFile file);

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

// Where discovery looks for an earlier installation's shortcuts: on the desktop, then in the group.
inline constexpr char kDesktopShortcutSuffix[] = "\\澜舟雅韵.lnk";
inline constexpr char kGroupShortcutSuffix[] = "\\澜舟雅韵\\澜舟雅韵.lnk";

// The list of the files the payload puts into the installation directory, itself one of its
// top-level entries (payload-tool pack --file-list): what the uninstaller removes.
inline constexpr char kFileListName[] = "quenunset.lst";

// Registry entries, all below HKEY_LOCAL_MACHINE and all REG_SZ.
inline constexpr char kRunKey[] = "software\\microsoft\\windows\\currentversion\\Run";
inline constexpr char kUninstallKey[] = "software\\microsoft\\windows\\currentversion\\Uninstall";
inline constexpr char kUninstallEntryKey[] =
    "software\\microsoft\\windows\\currentversion\\Uninstall\\Quenvox";
// Name of the Run value and of the uninstall entry's subkey.
inline constexpr char kRegistryName[] = "Quenvox";
inline constexpr char kDisplayNameValue[] = "DisplayName";
inline constexpr char kDisplayVersionValue[] = "DisplayVersion";
inline constexpr char kPublisherValue[] = "Publisher";
inline constexpr char kDisplayIconValue[] = "DisplayIcon";
inline constexpr char kUninstallStringValue[] = "UninstallString";
inline constexpr char kPublisherText[] = "Quen Vox";

// The uninstall entry's display name: the product name, the version text, a blank and the build.
std::string DisplayNameText();
