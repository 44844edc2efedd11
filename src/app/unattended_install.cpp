#include "app/unattended_install.h"

#include "app/instance_guard.h"
#include "app/setup_app.h"
#include "install/install_worker.h"
#include "install/previous_install.h"
#include "install/product_processes.h"
#include "ui/install_path_rule.h"

#include <string>

namespace {

// The run's owner when no window takes part: the folder and the auto-run choice of the command
// line; the outcome itself becomes the exit code, so nothing is shown.
class UnattendedOwner final : public InstallOwner {
  public:
    UnattendedOwner(std::string installPath, bool autoRun)
        : installPath_(std::move(installPath)), autoRun_(autoRun) {}
    std::string GetInstallPath() override { return installPath_; }
    void SetProgressPos(int) override {}
    int GetAutoRunCheck() override { return autoRun_ ? 1 : 0; }
    void SetInstallButtonText(const char*) override {}
    void OnCancel() override {}
    void ReportUnpackFailure(const UnpackOutcome&) override {}

  private:
    std::string installPath_;
    bool autoRun_;
};

}  // namespace

int RunUnattended(const SetupCommandLine& options, UniqueHandle& instanceMutex) {
    if (!options.usageError.empty()) return setup_exit::kUsage;
    if (options.help) return setup_exit::kInstalled;
    if (ClaimSingleInstance(kInstanceMutexName, instanceMutex) == InstanceClaim::HeldElsewhere) {
        return setup_exit::kAlreadyRunning;
    }
    // No shell dialog either while an earlier installation's shortcut is resolved.
    std::string target =
        options.targetDir ? *options.targetDir : FindPreviousInstallDir(nullptr, false);
    if (target.empty()) return setup_exit::kUsage;
    if (IsRefusedSystemDriveHere(target)) return setup_exit::kSystemDrive;
    // Nobody is there to be asked: one look decides.
    if (IsProductOrPlayerRunning(1)) return setup_exit::kProductRunning;
    UnattendedOwner owner(target, !options.noRun);
    return UnpackOutcomeExitCode(InstallProduct(owner));
}
