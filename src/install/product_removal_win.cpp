#include "install/product_removal.h"

#include "install/product_constants.h"
#include "install/product_files.h"
#include "system/path_text.h"
#include "system/process_lookup.h"
#include "system/shell_links.h"
#include "system/system_multibyte_rules.h"
#include "system/win_resource.h"

#include <shlobj.h>

#include <array>
#include <optional>
#include <vector>

namespace {

// Time given to the ended main program to leave before its files are deleted.
constexpr std::uint32_t kProgramExitWait = 10000;
// The largest file list read: far more than any product's files take.
constexpr LONGLONG kMaxListBytes = 16 * 1024 * 1024;
constexpr DWORD kRegistryText = 1024;

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path) {
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxListBytes) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

bool IsGone(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Deletes a file; true when it is gone afterwards.
bool DeleteListedFile(const std::string& path) {
    if (DeleteFileA(path.c_str()) || IsGone(GetLastError())) return true;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        if (DeleteFileA(path.c_str())) return true;
    }
    return false;
}

// A string value as text (its terminator may be missing); nothing when the value is missing.
std::optional<std::string> ReadText(HKEY key, const char* name) {
    std::array<char, kRegistryText + 1> data{};
    DWORD size = kRegistryText;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    return std::string(data.data(), strnlen(data.data(), size));
}

std::string MachineKeyName(const char* key) {
    return std::string("HKEY_LOCAL_MACHINE\\") + key;
}

void RemoveShortcuts(const std::string& folder, std::vector<std::string>& notRemoved) {
    const MultibyteRules& rules = SystemMultibyteRules();
    PathBuffer desktop{};
    PathBuffer programs{};
    const bool haveDesktop = GetShellFolderPath(CSIDL_DESKTOP, desktop.data());
    const bool havePrograms = GetShellFolderPath(CSIDL_PROGRAMS, programs.data());
    for (const ProductShortcut& shortcut : kProductShortcuts) {
        const bool onDesktop = shortcut.folder == ShortcutFolder::kDesktop;
        if (!(onDesktop ? haveDesktop : havePrograms)) continue;
        std::optional<std::string> link =
            JoinPath(onDesktop ? desktop.data() : programs.data(), shortcut.suffix);
        PathBuffer target{};
        // A shortcut of another installation, or one that is no shortcut, is not ours to remove.
        if (!link || !ReadShortcutTarget(link->c_str(), target.data()) ||
            !IsPathInsideFolder(target.data(), folder, rules)) {
            continue;
        }
        if (!DeleteFileA(link->c_str()) && !IsGone(GetLastError())) notRemoved.push_back(*link);
    }
    if (havePrograms) {
        if (std::optional<std::string> group = JoinPath(programs.data(), kProgramGroupSuffix)) {
            RemoveDirectoryA(group->c_str());  // kept while anything else is in it
        }
    }
}

void RemoveRunValue(const std::string& folder, std::vector<std::string>& notRemoved) {
    UniqueRegKey run;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, run.put()) !=
        ERROR_SUCCESS) {
        return;
    }
    std::optional<std::string> command = ReadText(run.get(), kRegistryName);
    if (!command || !CommandPointsInto(*command, folder, SystemMultibyteRules())) return;
    if (RegDeleteValueA(run.get(), kRegistryName) != ERROR_SUCCESS) {
        notRemoved.push_back(MachineKeyName(kRunKey) + "\\" + kRegistryName);
    }
}

void RemoveUninstallEntry(const std::string& folder, std::vector<std::string>& notRemoved) {
    {
        UniqueRegKey entry;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallEntryKey, 0, KEY_QUERY_VALUE,
                          entry.put()) != ERROR_SUCCESS) {
            return;
        }
        std::optional<std::string> command = ReadText(entry.get(), kUninstallStringValue);
        // An entry that names another installation's uninstaller belongs to that one.
        if (command && !CommandPointsInto(*command, folder, SystemMultibyteRules())) return;
    }
    // The entry has no subkeys of its own, so the XP-era call removes it whole.
    if (RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallEntryKey) != ERROR_SUCCESS) {
        notRemoved.push_back(MachineKeyName(kUninstallEntryKey));
    }
}

// Whether the folder holds anything but `except` (a name in its top level, may be empty).
bool HoldsAnythingBut(const std::string& folder, const std::string& except) {
    WIN32_FIND_DATAA found{};
    UniqueFindHandle find(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!find) return false;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." ||
            SameTextIgnoringCase(name, except, SystemMultibyteRules())) {
            continue;
        }
        return true;
    } while (FindNextFileA(find.get(), &found));
    return false;
}

}  // namespace

ProductRemoval RemoveProduct(const std::string& folder, const std::string& uninstallerName) {
    ProductRemoval removal;
    UninstallReport& report = removal.report;
    report.folder = folder;
    report.listPath = folder + "\\" + kFileListName;
    std::optional<std::string> list = ReadWholeFile(report.listPath);
    if (!list) {
        report.outcome = UninstallOutcome::kNoFileList;
        report.folderKept = true;
        return removal;
    }
    const MultibyteRules& rules = SystemMultibyteRules();
    UninstallPlan plan = PlanUninstall(folder, *list, uninstallerName, rules);
    report.refused = plan.refused;

    TerminateProcessesByName(kMainProcessName, folder.c_str(), kProgramExitWait);

    for (const std::string& path : plan.files) {
        if (!DeleteListedFile(path)) report.notRemoved.push_back(path);
    }
    for (const std::string& path : plan.folders) {
        RemoveDirectoryA(path.c_str());  // kept while anything is left in it
    }
    RemoveShortcuts(folder, report.notRemoved);
    RemoveRunValue(folder, report.notRemoved);

    const bool filesLeft = !report.notRemoved.empty();
    if (!filesLeft) {
        if (!DeleteListedFile(report.listPath)) report.notRemoved.push_back(report.listPath);
        RemoveUninstallEntry(folder, report.notRemoved);
    }
    removal.removeSelf = plan.listsUninstaller && report.notRemoved.empty();

    report.outcome = report.notRemoved.empty() && report.refused.empty()
                         ? UninstallOutcome::kRemoved
                         : UninstallOutcome::kIncomplete;
    const bool othersLeft = HoldsAnythingBut(folder, removal.removeSelf ? uninstallerName : "");
    report.folderKept = !removal.removeSelf || othersLeft;
    report.userFilesKept = othersLeft && report.notRemoved.empty();
    return removal;
}
