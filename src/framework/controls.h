// Thin owners of dialog controls: the window handle is bound by DDX_Control when the dialog
// opens, and every operation is one synchronous message, so it may be called from another thread
// while the dialog's thread keeps dispatching.
#pragma once

#include "framework/app.h"

#include <commctrl.h>

class CButton : public CWnd {
  public:
    // BST_CHECKED, BST_UNCHECKED or BST_INDETERMINATE; 0 when the control is gone.
    int GetCheck() const { return static_cast<int>(SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)); }
    void SetCheck(int check) { SendMessageA(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(check), 0); }
};

class CProgressCtrl : public CWnd {
  public:
    void SetRange32(int lower, int upper) { SendMessageA(m_hWnd, PBM_SETRANGE32, lower, upper); }
    // Returns the previous position.
    int SetPos(int position) {
        return static_cast<int>(SendMessageA(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(position), 0));
    }
};
