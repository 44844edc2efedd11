#include "app/setup_app.h"

#include "framework/dll_search.h"
#include "framework/instance_guard.h"
#include "framework/message_box.h"
#include "ui/setup_dialog.h"

namespace {
constexpr char kAlreadyRunningText[] = "安装程序已经运行!";
}

SetupApp theApp;

SetupApp::SetupApp() {
    RestrictDllSearchPath();
}

SetupApp::~SetupApp() = default;

BOOL SetupApp::InitInstance() {
    AfxEnableControlContainer();

    if (ClaimSingleInstance(kInstanceMutexName, m_hInstanceMutex) == InstanceClaim::HeldElsewhere) {
        AfxMessageBox(kAlreadyRunningText, MB_ICONEXCLAMATION);
        return FALSE;
    }

    Enable3dControlsStatic();

    SetupDialog dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
