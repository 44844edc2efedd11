// What the product's uninstaller removes and what it says: the folder's file list turned into the
// paths it may delete and the folders those may leave empty, whether a registry command starts a
// program in the folder, and one table of outcomes with their messages and exit codes. Plain C++:
// the code page's multibyte rules come in from outside.
#pragma once

#include "system/multibyte_rules.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Why a line of the file list is refused. Nothing is removed for a refused line.
enum class ListLineProblem {
    kRooted,              // begins with a separator: a drive's root, or a UNC path (\\server)
    kDriveOrStream,       // holds a colon: a drive letter, or a stream of a file
    kParentLevel,         // a level that is empty or dots and blanks only (".", "..", "...")
    kForbiddenCharacter,  // < > " | ? * or a control character
    kDeviceName,          // CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9 (also with an extension)
    kTrailingDotOrBlank,  // Windows drops a level's trailing dots and blanks: another name
    kBrokenCharacter,     // ends inside a double-byte character
    kTooLong,             // with the folder in front, longer than 259 bytes
};

struct RefusedLine {
    std::size_t number = 0;  // counted from 1
    std::string text;        // as the list holds it, without its line end
    ListLineProblem problem = ListLineProblem::kRooted;
};

struct UninstallPlan {
    std::vector<std::string> files;    // full paths to delete, in list order
    std::vector<std::string> folders;  // full paths of the list's folders, deepest first
    bool listsUninstaller = false;     // the list names the uninstaller's own file
    std::vector<RefusedLine> refused;
};

// Plans the removal of the product installed in `folder` (full path, no trailing separator) from
// its file list `listBytes`: one path a line relative to the folder, levels separated by
// backslashes (a slash counts as one too), lines ended by CR LF or LF, empty lines skipped. Every
// planned path lies inside the folder; a line that could reach outside it, or that Windows would
// take for another name, is refused instead. The running uninstaller (`uninstallerName`, in the
// folder's top level) and the list itself are left out of `files`: they go last.
UninstallPlan PlanUninstall(std::string_view folder, std::string_view listBytes,
                            std::string_view uninstallerName, const MultibyteRules& rules);

// The program a registry command starts (the Run value, the uninstall entry's UninstallString):
// the text inside the first pair of quotes when it begins with a quote, else the whole text;
// blanks around it do not count.
std::string_view ProgramOfCommand(std::string_view command);
// True when the program that `command` starts lies inside `folder` (IsPathInsideFolder).
bool CommandPointsInto(std::string_view command, std::string_view folder,
                       const MultibyteRules& rules);

// Texts of the uninstaller.
inline constexpr char kUninstallCaption[] = "卸载澜舟雅韵";
inline constexpr char kUninstallQuestion[] = "确定要卸载澜舟雅韵吗?";
inline constexpr char kUninstalledText[] = "澜舟雅韵已从您的计算机中删除。";

enum class UninstallOutcome {
    kRemoved,     // everything listed is gone (the uninstaller itself goes once it has ended)
    kCancelled,   // the user answered no; nothing changed
    kIncomplete,  // something listed is left, or the list holds refused lines
    kNoFileList,  // the folder's file list is missing or unreadable; nothing was removed
};

struct UninstallReport {
    UninstallOutcome outcome = UninstallOutcome::kRemoved;
    std::string folder;
    std::string listPath;
    std::vector<std::string> notRemoved;  // what should have gone and is left, with its path
    std::vector<RefusedLine> refused;
    bool folderKept = false;     // the folder stays after the uninstaller has gone
    bool userFilesKept = false;  // because it holds files the installation did not put there
};

// The exit code of each outcome: 0 only for kRemoved.
int UninstallExitCode(UninstallOutcome outcome);

// What the uninstaller tells at the end; empty for kCancelled. At most ten items of a list are
// named, then how many more there are.
std::string UninstallMessage(const UninstallReport& report);
