#include "install/product_registration.h"

#include "install/product_files.h"
#include "system/shell_links.h"
#include "system/win_resource.h"
#include "system/path_text.h"

#include <shlobj.h>

#include <array>
#include <cstring>
#include <optional>

namespace {

using ProductPaths = std::array<std::optional<std::string>, 4>;

const std::optional<std::string>& PathOf(const ProductPaths& paths, ProductFile file) {
    return paths[static_cast<std::size_t>(file)];
}

// The folder's path, or nullopt when the shell cannot give it.
std::optional<std::string> ShellFolder(int csidl) {
    PathBuffer path{};
    if (!GetShellFolderPath(csidl, path.data())) return std::nullopt;
    return std::string(path.data());
}

// A shortcut whose target or link path would not fit kPathBufferSize is left out rather than
// written somewhere else.
void WriteShortcut(const ProductPaths& paths, const std::string& folder,
                   const ProductShortcut& shortcut) {
    const std::optional<std::string>& target = PathOf(paths, shortcut.target);
    std::optional<std::string> linkPath = JoinPath(folder, shortcut.suffix);
    if (target && linkPath) CreateShortcut(target->c_str(), linkPath->c_str());
}

// Writes a REG_SZ value with its terminating zero counted in the size, so that every reader
// gets a terminated string.
void SetStringValue(HKEY key, const char* name, const std::string& text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

void SetStringValue(HKEY key, const char* name, const std::optional<std::string>& text) {
    if (text) SetStringValue(key, name, *text);
}

}  // namespace

int RegisterProduct(const std::string& installDir, int autoRun) {
    ProductPaths paths;
    for (ProductFile file : {ProductFile::kMainProgram, ProductFile::kUninstaller,
                             ProductFile::kRecorder, ProductFile::kRepairTool}) {
        paths[static_cast<std::size_t>(file)] = ProductFilePath(installDir, file);
    }

    if (std::optional<std::string> desktop = ShellFolder(CSIDL_DESKTOP)) {
        for (const ProductShortcut& shortcut : kProductShortcuts) {
            if (shortcut.folder == ShortcutFolder::kDesktop)
                WriteShortcut(paths, *desktop, shortcut);
        }
    }
    if (std::optional<std::string> programs = ShellFolder(CSIDL_PROGRAMS)) {
        // An existing group folder is simply reused.
        if (std::optional<std::string> group = JoinPath(*programs, kProgramGroupSuffix)) {
            CreateDirectoryA(group->c_str(), nullptr);
        }
        for (const ProductShortcut& shortcut : kProductShortcuts) {
            if (shortcut.folder == ShortcutFolder::kPrograms)
                WriteShortcut(paths, *programs, shortcut);
        }
    }

    // The Run key is only ever opened, never created.
    if (autoRun != 0) {
        UniqueRegKey run;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_WRITE, run.put()) == ERROR_SUCCESS) {
            SetStringValue(run.get(), kRegistryName, PathOf(paths, ProductFile::kMainProgram));
        }
    }

    {
        UniqueRegKey uninstall;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_WRITE, uninstall.put()) ==
            ERROR_SUCCESS) {
            UniqueRegKey entry;
            if (RegOpenKeyExA(uninstall.get(), kRegistryName, 0, KEY_WRITE, entry.put()) !=
                ERROR_SUCCESS) {
                RegCreateKeyA(uninstall.get(), kRegistryName, entry.put());
            }
        }
    }

    UniqueRegKey entry;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallEntryKey, 0, KEY_WRITE, entry.put()) ==
        ERROR_SUCCESS) {
        const std::optional<std::string>& uninstaller = PathOf(paths, ProductFile::kUninstaller);
        SetStringValue(entry.get(), kDisplayNameValue, std::string(kProductTitle));
        SetStringValue(entry.get(), kDisplayVersionValue, std::string(kVersionText));
        SetStringValue(entry.get(), kPublisherValue, std::string(kPublisherText));
        SetStringValue(entry.get(), kDisplayIconValue, uninstaller);
        SetStringValue(entry.get(), kUninstallStringValue, uninstaller);
    }
    return 1;
}
