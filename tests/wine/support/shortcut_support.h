// Shortcut (.lnk) helpers for the Wine tests: reading a shortcut back through the shell, the
// flags of its file header, writing shortcuts without the code under test (also ones whose target
// the shell itself would never write), and the current user's shortcut folders.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wt {

// What the shell's link object reports for a loaded shortcut (nothing is resolved).
struct ShortcutContents {
    std::string target;  // the stored path, as written
    WORD hotkey = 0;
    std::string workingDirectory;
    std::string arguments;
    std::string description;
    std::string iconLocation;
    int iconIndex = 0;
    int showCommand = 0;
};

// nullopt when the shell cannot load the file as a shortcut.
std::optional<ShortcutContents> ReadShortcut(const std::string& linkPath);

// Flags of a .lnk file's header (which optional parts it stores); nullopt when the file is too
// short or not a shortcut.
std::optional<std::uint32_t> ReadShortcutFlags(const std::string& linkPath);
inline constexpr std::uint32_t kLinkHasName = 0x04;
inline constexpr std::uint32_t kLinkHasRelativePath = 0x08;
inline constexpr std::uint32_t kLinkHasWorkingDir = 0x10;
inline constexpr std::uint32_t kLinkHasArguments = 0x20;
inline constexpr std::uint32_t kLinkHasIconLocation = 0x40;

// Writes a shortcut to `target` through the shell, with nothing else set.
bool WriteShortcut(const std::string& linkPath, const std::string& target);

// Writes a minimal shortcut file whose stored local path is `localPath` byte for byte. The shell's
// own SetPath makes every path absolute with backslashes; this reaches the targets it never writes
// (forward slashes, no directory at all) that a shortcut from elsewhere may still hold.
bool WriteRawShortcut(const std::string& linkPath, const std::string& localPath);

// Writes a shortcut to a shell object that has no file-system path (the computer folder).
bool WriteShortcutToComputerFolder(const std::string& linkPath);

// Names of the entries of a folder ("." and ".." left out); empty when it is missing.
std::vector<std::string> FolderEntries(const std::string& folder);

// The current user's desktop and Start-menu programs folders, without a trailing separator (also
// while the folder does not exist).
std::string DesktopFolder();
std::string ProgramsFolder();

}  // namespace wt
