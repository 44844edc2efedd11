// Modal dialogs built from a dialog template in the executable's resources: the framework's
// dialog class with its overridable steps (OnInitDialog, OnOK, OnCancel, DoDataExchange),
// control binding, and routing of the messages in a dialog's message map.
#pragma once

#include "framework/app.h"
#include "framework/message_map.h"

#include <atomic>

class CDialog;

// One data exchange: the dialog whose controls are bound. The installer's dialogs exchange no
// values, only control bindings.
struct CDataExchange {
    CDialog* m_pDlgWnd;
};

// Binds `control` to the dialog's control `id` the first time it runs; later calls keep the
// binding.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog : public CWnd {
  public:
    // `templateId` names the dialog template. Without a parent the dialog is owned by the dialog
    // that runs modally on the calling thread at the time, if any.
    explicit CDialog(UINT templateId, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the dialog and runs its modal loop until EndDialog; the value given to EndDialog,
    // or -1 when the dialog could not be created. When it returns the window is destroyed and
    // m_hWnd still names it, so calls made with it fail harmlessly.
    virtual INT_PTR DoModal();

    // Ends the modal loop with `result`. May be called on any thread: on the dialog's own thread
    // it ends the loop directly, from another thread it posts the request to the dialog's thread
    // (the system's EndDialog is not reliable from a foreign thread). Later requests are ignored.
    void EndDialog(int result);

    // True from the first EndDialog request (or the end of the modal run) on.
    bool IsEnded() const { return m_bEnded.load(); }

  protected:
    // Runs the data exchange to bind controls; true puts the focus on the first tab stop.
    virtual BOOL OnInitDialog();
    // The OK command: EndDialog(IDOK).
    virtual void OnOK();
    // The cancel command (Escape, close box, Alt+F4): EndDialog(IDCANCEL).
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);

    // The messages this dialog handles beyond OK and cancel; empty by default.
    virtual MessageMap GetMessageMap() const;

    // Hands the message being handled on to the dialog manager's default processing.
    void Default() { m_bDefault = true; }
    // Default handlers for the derived class's handlers to fall back on.
    void OnSysCommand(UINT, LPARAM) { Default(); }
    void OnPaint() { Default(); }
    void OnTimer(UINT_PTR) { Default(); }

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    DWORD m_dwThreadId = 0;
    CDialog* m_pOuterDialog = nullptr;
    std::atomic<bool> m_bEnded{false};
    std::atomic<int> m_nEndResult{IDCANCEL};
    bool m_bDefault = false;

    friend HWND AfxGetModalOwner();
};

// The window a modal box or dialog started on the calling thread should be owned by: the
// innermost dialog running modally on this thread, else the main window if it belongs to this
// thread, else null.
HWND AfxGetModalOwner();
