// The installer's only window: target folder, auto-run check box, progress bar and install
// button. It starts the install worker and is the worker's InstallOwner.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "install/install_owner.h"
#include "system/win_resource.h"

#include <atomic>
#include <optional>
#include <string>

// Timer that brings the prompt about a running product or player, once, after the dialog opened.
inline constexpr UINT_PTR kRunningPromptTimer = 100;
inline constexpr UINT kRunningPromptDelayMs = 500;

class SetupDialog : public CDialog, public InstallOwner {
  public:
    explicit SetupDialog(CWnd* pParent = nullptr);

    // A folder given on the command line: shown in place of an earlier installation's, unless the
    // system drive is refused there, as for a picked folder (the product folder is not added).
    void PresetInstallPath(std::string folder) { m_strPresetPath = std::move(folder); }
    // The process exit code once the dialog has ended (setup_exit): kUsage when it was closed
    // without installing, kInstalled after a good installation, the unpacking outcome's otherwise.
    int ExitCode() const { return m_nExitCode.load(); }
    // Waits for a worker this dialog started: the worker reaches the dialog until its last step,
    // so the object must outlive it. Sent messages are served meanwhile (they fail once the
    // window is gone), so the worker cannot block on this thread.
    ~SetupDialog() override;

    // InstallOwner, for the worker thread. Once the dialog has ended, the operations that touch
    // controls do nothing (GetAutoRunCheck gives 0) and OnCancel has nothing left to end.
    std::string GetInstallPath() override;
    void SetProgressPos(int position) override;
    int GetAutoRunCheck() override;
    void SetInstallButtonText(const char* text) override;
    // The framework's message box (application title, exclamation icon) with the outcome's text.
    void ReportUnpackFailure(const UnpackOutcome& outcome) override;
    // Does nothing while g_bInstalling is set; otherwise ends the dialog with IDCANCEL. May be
    // called on any thread.
    void OnCancel() override;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    MessageMap GetMessageMap() const override;

    // Starts the install worker with this dialog as its owner; an empty handle when no thread
    // could be started.
    virtual UniqueHandle StartInstallWorker();

    std::string m_strInstallPath;
    BOOL m_bAutoRun = TRUE;
    CButton m_chkAutoRun;
    CProgressCtrl m_progress;
    HICON m_hIcon;

  private:
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnBrowse();
    void OnTimer(UINT_PTR nIDEvent);

    void ApplyPickedFolder(const std::string& picked);
    // Takes `installPath` as the target, unless `picked` lies on a system drive that is refused.
    void AcceptFolder(std::string installPath, const std::string& picked);
    void WaitForWorker();

    UniqueHandle m_worker;
    std::optional<std::string> m_strPresetPath;
    std::atomic<int> m_nExitCode{setup_exit::kUsage};
};
