// The installation's view of the window that started it: the install worker and the payload
// unpacker reach the setup dialog only through these operations.
#pragma once

#include "install/progress_sink.h"
#include "install/unpack_outcome.h"

#include <string>

class InstallOwner : public ProgressSink {
  public:
    // The target directory, without a trailing separator. A copy: the caller keeps it for the run.
    virtual std::string GetInstallPath() = 0;
    // State of the auto-run check box at the moment of the call: 1 ticked, 0 not ticked.
    virtual int GetAutoRunCheck() = 0;
    // Replaces the caption of the install button.
    virtual void SetInstallButtonText(const char* text) = 0;
    // The dialog's cancel operation: nothing while an installation is marked running, otherwise
    // ends the dialog. May be called on the worker thread.
    virtual void OnCancel() = 0;
    // Tells the user why the payload could not be installed (`outcome` is not kDone); returns once
    // the user has closed the message. Called on the worker thread.
    virtual void ReportUnpackFailure(const UnpackOutcome& outcome) = 0;

  protected:
    ~InstallOwner() = default;
};
