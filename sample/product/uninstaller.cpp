// quenunset.exe, the sample product's uninstaller. Started by the "卸载澜舟雅韵" shortcut or from
// the list of installed programs, it asks first, then removes the product installed in its own
// folder (RemoveProduct): the files of the folder's file list, the folders they leave empty, the
// shortcuts and registry entries made for that folder; then itself and the folder, once it has
// ended, when nothing else is left there. It tells how it went, and when files of the user's own
// keep the folder, says so and where the folder is.
//
//   quenunset.exe       asks, removes, tells
//   quenunset.exe /S    removes without a question or a message; exit code 0 when everything
//                       listed was removed (1 cancelled, 2 something left, 3 no file list)
#include "install/product_files.h"
#include "install/product_removal.h"
#include "install/uninstall_plan.h"
#include "system/command_line.h"
#include "system/path_helpers.h"
#include "system/path_text.h"
#include "system/self_removal.h"
#include "system/system_multibyte_rules.h"

#include <windows.h>

#include <array>
#include <string>
#include <vector>

namespace {

bool IsSilentSwitch(const std::string& argument) {
    return argument == "/S" || argument == "/s";
}

// This program's file in its long form; empty when it cannot be had.
std::string OwnPath() {
    const std::string path = GetExecutablePath();
    if (path.empty() || path.size() >= kPathBufferSize) return {};
    PathBuffer longPath{};
    DWORD longLength = GetLongPathNameA(path.c_str(), longPath.data(), kPathBufferSize);
    if (longLength > 0 && longLength < kPathBufferSize) {
        return std::string(longPath.data(), longLength);
    }
    return path;
}

UninstallReport Uninstall() {
    const std::string self = OwnPath();
    const std::string folder(DirectoryOf(self));
    if (self.empty() || folder.size() == self.size()) {
        UninstallReport report;
        report.outcome = UninstallOutcome::kNoFileList;
        report.listPath = kFileListName;
        return report;
    }
    ProductRemoval removal = RemoveProduct(folder, self.substr(folder.size() + 1));
    UninstallReport& report = removal.report;
    if (removal.removeSelf && !StartSelfRemoval()) {
        report.notRemoved.push_back(self);
        report.outcome = UninstallOutcome::kIncomplete;
        report.folderKept = true;
        report.userFilesKept = false;
    }
    return report;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::vector<std::string> arguments = CommandLineArguments(GetCommandLineA());
    if (std::optional<SelfRemovalRequest> request = ParseSelfRemovalArguments(arguments)) {
        return RunSelfRemoval(*request);
    }
    bool silent = false;
    for (const std::string& argument : arguments) silent = silent || IsSilentSwitch(argument);

    if (!silent && MessageBoxA(nullptr, kUninstallQuestion, kUninstallCaption,
                               MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return UninstallExitCode(UninstallOutcome::kCancelled);
    }
    const UninstallReport report = Uninstall();
    if (!silent) {
        const UINT icon =
            report.outcome == UninstallOutcome::kRemoved ? MB_ICONINFORMATION : MB_ICONEXCLAMATION;
        MessageBoxA(nullptr, UninstallMessage(report).c_str(), kUninstallCaption, MB_OK | icon);
    }
    return UninstallExitCode(report.outcome);
}
