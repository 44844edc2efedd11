#include "framework/dialog.h"

#include <commctrl.h>

namespace {

// The innermost dialog running modally on this thread; each run links to the one outside it.
thread_local CDialog* t_pModalDialog = nullptr;

// Carries an end request from another thread to the dialog's own thread.
UINT EndDialogMessage() {
    static const UINT message = RegisterWindowMessageA("SetupFramework.EndDialog");
    return message;
}

}  // namespace

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (control.m_hWnd != nullptr) return;
    control.m_hWnd = GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
}

CDialog::CDialog(UINT templateId, CWnd* pParentWnd)
    : m_nIDTemplate(templateId), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
    // The progress bar's window class lives in the common-controls library.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : AfxGetModalOwner();
    m_hWnd = nullptr;
    m_bEnded = false;
    m_dwThreadId = GetCurrentThreadId();
    m_pOuterDialog = t_pModalDialog;
    t_pModalDialog = this;
    INT_PTR result = DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner,
                                     DialogProc, reinterpret_cast<LPARAM>(this));
    t_pModalDialog = m_pOuterDialog;
    m_bEnded = true;
    return result;
}

void CDialog::EndDialog(int result) {
    if (m_bEnded.exchange(true)) return;
    m_nEndResult = result;
    if (m_hWnd == nullptr) return;
    if (GetCurrentThreadId() == m_dwThreadId) {
        ::EndDialog(m_hWnd, result);
    } else {
        PostMessageA(m_hWnd, EndDialogMessage(), 0, 0);
    }
}

BOOL CDialog::OnInitDialog() {
    CDataExchange exchange{this};
    DoDataExchange(&exchange);
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}

MessageMap CDialog::GetMessageMap() const {
    return {};
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->m_hWnd = window;
    } else {
        dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    // Messages that come before WM_INITDIALOG (WM_SETFONT) belong to the dialog manager.
    if (dialog == nullptr) return FALSE;
    // No exception may cross into the system's dialog manager.
    try {
        return dialog->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return OnInitDialog();
    if (message == EndDialogMessage()) {
        // Only a request made through EndDialog ends the dialog; a stray post of this message
        // from elsewhere does nothing.
        if (m_bEnded) ::EndDialog(m_hWnd, m_nEndResult);
        return TRUE;
    }
    // A handler may run a nested message loop (a message box) that dispatches further
    // messages to this dialog; each keeps its own default flag.
    bool outer = m_bDefault;
    m_bDefault = false;
    INT_PTR handled = Dispatch(message, wParam, lParam);
    m_bDefault = outer;
    return handled;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    for (const MessageMapEntry& entry : GetMessageMap()) {
        if (entry.message != message) continue;
        if (message == WM_COMMAND && (entry.id != LOWORD(wParam) || entry.code != HIWORD(wParam))) {
            continue;
        }
        LRESULT result = entry.invoke(*this, wParam, lParam);
        if (m_bDefault) return FALSE;
        // WM_QUERYDRAGICON gives its result as the procedure's return value; the others
        // through DWLP_MSGRESULT.
        if (message == WM_QUERYDRAGICON) return static_cast<INT_PTR>(result);
        SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case IDOK:
                OnOK();
                return TRUE;
            case IDCANCEL:
                OnCancel();
                return TRUE;
            default:
                break;
        }
    }
    return FALSE;
}

HWND AfxGetModalOwner() {
    for (CDialog* dialog = t_pModalDialog; dialog != nullptr; dialog = dialog->m_pOuterDialog) {
        if (dialog->m_hWnd != nullptr && IsWindow(dialog->m_hWnd)) return dialog->m_hWnd;
    }
    CWnd* main = AfxGetMainWnd();
    if (main != nullptr && main->m_hWnd != nullptr && IsWindow(main->m_hWnd) &&
        GetWindowThreadProcessId(main->m_hWnd, nullptr) == GetCurrentThreadId()) {
        return main->m_hWnd;
    }
    return nullptr;
}
