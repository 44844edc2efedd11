#include "install/install_worker.h"

#include "install/install_owner.h"
#include "install/install_state.h"
#include "install/payload_extract.h"
#include "install/product_constants.h"
#include "install/product_processes.h"
#include "install/product_registration.h"
#include "system/home_page.h"

#include <string>

namespace {

// No exception may leave a thread procedure, and whatever a step does, the run must still reach
// the steps that end it.
template <typename Step>
void RunStep(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

UnpackOutcome InstallProduct(InstallOwner& owner) {
    UnpackOutcome outcome = ExtractPayload(owner);
    // A product whose files are not all in place is not registered.
    if (!outcome.ok()) return outcome;
    // Read only now, after the last file: a tick changed during unpacking counts.
    int autoRun = owner.GetAutoRunCheck();
    RegisterProduct(owner.GetInstallPath(), autoRun);
    return outcome;
}

UINT __cdecl InstallThreadProc(LPVOID parameter) {
    InstallOwner& owner = *static_cast<InstallOwner*>(parameter);

    RunStep([&] {
        UnpackOutcome outcome = InstallProduct(owner);
        if (!outcome.ok()) owner.ReportUnpackFailure(outcome);
    });
    RunStep([&] { owner.SetInstallButtonText(kFinishedCaption); });
    // From here on the dialog's cancel operation ends the dialog again; the last step relies on it.
    g_bInstalling = 0;

    RunStep([&] { StartMainProgramUnlessRunning(owner.GetInstallPath()); });
    RunStep([] { OpenHomePage(kHomePageUrl); });

    // The owner is not touched after this call.
    RunStep([&] { owner.OnCancel(); });
    return 0;
}
