// The installation's view of the window that started it: the install worker and the payload
// unpacker reach the setup dialog only through these five operations.
#pragma once

#include <string>

class InstallOwner {
public:
    // The target directory, without a trailing separator. A copy: the caller keeps it for the run.
    virtual std::string GetInstallPath() = 0;
    // Sets the progress bar (range 0 to 100); returns once the bar has taken the position.
    virtual void SetProgressPos(int position) = 0;
    // State of the auto-run check box at the moment of the call: 1 ticked, 0 not ticked.
    virtual int GetAutoRunCheck() = 0;
    // Replaces the caption of the install button.
    virtual void SetInstallButtonText(const char* text) = 0;
    // The dialog's cancel operation: nothing while an installation is marked running, otherwise
    // ends the dialog. May be called on the worker thread.
    virtual void OnCancel() = 0;

protected:
    ~InstallOwner() = default;
};
