#include "install/previous_install.h"

#include "install/product_constants.h"
#include "system/path_text.h"
#include "system/shell_links.h"
#include "system/win_resource.h"

#include <shlobj.h>

#include <array>
#include <optional>

namespace {

// The value is read into a zeroed kPathBufferSize buffer with room for two bytes fewer, so a value
// stored without its terminator (as earlier installations left it) still ends inside the buffer.
constexpr DWORD kUninstallStringReadSize = kPathBufferSize - 2;

std::string DirectoryFromRegistry(HKEY entry) {
    PathBuffer value{};
    DWORD size = kUninstallStringReadSize;
    DWORD type = 0;
    if (RegQueryValueExA(entry, kUninstallStringValue, nullptr, &type,
                         reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS) {
        return {};
    }
    return std::string(DirectoryOf(value.data()));
}

// The directory of the target of `shortcut`, or nullopt.
std::optional<std::string> DirectoryFromShortcut(HWND ownerWindow, const ProductShortcut& shortcut,
                                                 bool allowShellUi) {
    const int csidl = shortcut.folder == ShortcutFolder::kDesktop ? CSIDL_DESKTOP : CSIDL_PROGRAMS;
    PathBuffer folder{};
    if (!GetShellFolderPath(csidl, folder.data())) return std::nullopt;
    std::optional<std::string> linkPath = JoinPath(folder.data(), shortcut.suffix);
    if (!linkPath) return std::nullopt;
    PathBuffer directory{};
    if (ResolveShortcutDirectory(ownerWindow, linkPath->c_str(), directory.data(), allowShellUi) !=
        1) {
        return std::nullopt;
    }
    return std::string(directory.data());
}

}  // namespace

std::string FindPreviousInstallDir(HWND ownerWindow, bool allowShellUi) {
    {
        UniqueRegKey entry;
        // Once the uninstall entry exists it alone decides, even when its value is missing.
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallEntryKey, 0, KEY_READ, entry.put()) ==
            ERROR_SUCCESS) {
            return DirectoryFromRegistry(entry.get());
        }
    }
    for (const ProductShortcut& shortcut : {kDesktopShortcut, kGroupShortcut}) {
        if (auto directory = DirectoryFromShortcut(ownerWindow, shortcut, allowShellUi)) {
            return *directory;
        }
    }
    return {};
}
