#include "ui/setup_dialog.h"

#include "framework/message_box.h"
#include "framework/thread.h"
#include "install/install_state.h"
#include "install/install_worker.h"
#include "install/previous_install.h"
#include "install/product_constants.h"
#include "install/product_processes.h"
#include "res/resource.h"
#include "ui/about_dialog.h"
#include "ui/install_path_rule.h"
#include "system/path_text.h"

#include <shellapi.h>
#include <shlobj.h>

#include <array>

namespace {

constexpr char kPickerTitle[] = "请选择目录";
constexpr char kSystemDriveText[] = "不能安装在系统盘!";
constexpr char kSystemDriveCaption[] = "澜舟雅韵";
constexpr char kNoPathText[] = "请选择安装路径!";
constexpr char kRunningPromptText[] =
    "澜舟雅韵全球网络收音机正在运行,需要关闭才能继续安装,\n点击(是)立即关闭,点击(否)退出安装。";
constexpr char kRunningPromptCaption[] = "提示";
// A worker that cannot be started leaves the dialog idle again; the user may simply retry.
constexpr char kWorkerFailedText[] = "无法启动安装,请重试!";

class PaintScope {
  public:
    explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

std::string WindowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

}  // namespace

SetupDialog::SetupDialog(CWnd* pParent)
    : CDialog(IDD_SETUP_DIALOG, pParent),
      m_hIcon(LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

SetupDialog::~SetupDialog() {
    WaitForWorker();
}

MessageMap SetupDialog::GetMessageMap() const {
    static constexpr MessageMapEntry kMap[] = {
        msgmap::SysCommand<&SetupDialog::OnSysCommand>(),
        msgmap::Paint<&SetupDialog::OnPaint>(),
        msgmap::QueryDragIcon<&SetupDialog::OnQueryDragIcon>(),
        msgmap::ButtonClicked<IDC_BROWSE, &SetupDialog::OnBrowse>(),
        msgmap::Timer<&SetupDialog::OnTimer>(),
    };
    return kMap;
}

void SetupDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_AUTORUN, m_chkAutoRun);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

BOOL SetupDialog::OnInitDialog() {
    CDialog::OnInitDialog();

    if (HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE)) {
        // A zero buffer size hands out the resource's own text, so no length limit applies.
        const wchar_t* about = nullptr;
        int length =
            LoadStringW(AfxGetResourceHandle(), IDS_ABOUTBOX, reinterpret_cast<LPWSTR>(&about), 0);
        if (length > 0 && about != nullptr) {
            std::wstring item(about, static_cast<std::size_t>(length));
            AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, item.c_str());
        }
    }

    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    m_progress.SetRange32(0, 100);
    m_chkAutoRun.SetCheck(m_bAutoRun);

    if (IsProductOrPlayerRunning())
        SetTimer(m_hWnd, kRunningPromptTimer, kRunningPromptDelayMs, nullptr);

    m_strInstallPath = FindPreviousInstallDir(m_hWnd);
    SetDlgItemTextA(m_hWnd, IDC_PATH, m_strInstallPath.c_str());
    if (m_strPresetPath) AcceptFolder(*m_strPresetPath, *m_strPresetPath);

    SetWindowTextA(m_hWnd, kProductTitle);
    return TRUE;
}

void SetupDialog::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        AboutDialog about;
        about.DoModal();
        return;
    }
    CDialog::OnSysCommand(nID, lParam);
}

void SetupDialog::OnPaint() {
    if (!IsIconic(m_hWnd)) {
        CDialog::OnPaint();
        return;
    }
    PaintScope paint(m_hWnd);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.dc()), 0);
    int iconWidth = GetSystemMetrics(SM_CXICON);
    int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    int x = (client.right - client.left - iconWidth + 1) / 2;
    int y = (client.bottom - client.top - iconHeight + 1) / 2;
    DrawIcon(paint.dc(), x, y, m_hIcon);
}

HCURSOR SetupDialog::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void SetupDialog::OnBrowse() {
    // From the start of a run on the button is disabled and the path belongs to the worker, which
    // reads it without a lock; a browse command that arrives anyway (posted by another program)
    // must not change it.
    if (!IsWindowEnabled(GetDlgItem(m_hWnd, IDC_BROWSE))) return;

    // The picker walks the shell namespace, which wants COM on this thread.
    ScopedComInitialize com;
    PathBuffer folder{};
    BROWSEINFOA browse{};
    browse.hwndOwner = m_hWnd;
    browse.pidlRoot = nullptr;
    browse.pszDisplayName = folder.data();
    browse.lpszTitle = kPickerTitle;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    UniqueItemIdList chosen(SHBrowseForFolderA(&browse));
    if (!chosen) return;
    if (!SHGetPathFromIDListA(chosen.get(), folder.data())) return;
    ApplyPickedFolder(folder.data());
}

void SetupDialog::ApplyPickedFolder(const std::string& picked) {
    AcceptFolder(InstallPathForPickedFolder(picked), picked);
}

void SetupDialog::AcceptFolder(std::string installPath, const std::string& picked) {
    m_strInstallPath = std::move(installPath);
    if (IsRefusedSystemDriveHere(picked)) {
        // No owner: the dialog stays enabled while the box is shown.
        MessageBoxA(nullptr, kSystemDriveText, kSystemDriveCaption, MB_ICONWARNING);
        SetDlgItemTextA(m_hWnd, IDC_PATH, "");
        m_strInstallPath.clear();
        return;
    }
    SetDlgItemTextA(m_hWnd, IDC_PATH, m_strInstallPath.c_str());
}

void SetupDialog::OnOK() {
    // A run in progress owns the dialog: an OK command that reaches it anyway (the button is
    // disabled, so only a posted one can) neither starts a second worker nor ends the dialog.
    if (g_bInstalling.load() != 0) return;

    if (WindowText(GetDlgItem(m_hWnd, IDOK)) != kFinishedCaption) {
        if (m_strInstallPath.empty()) {
            AfxMessageBox(kNoPathText);
            return;
        }
        g_bInstalling = 1;
        EnableWindow(GetDlgItem(m_hWnd, IDOK), FALSE);
        EnableWindow(GetDlgItem(m_hWnd, IDC_BROWSE), FALSE);
        m_progress.SetPos(0);
        // A run ends the installer either installed or with its failure reported.
        m_nExitCode = setup_exit::kInstalled;
        m_worker = StartInstallWorker();
        if (!m_worker) {
            // Without a worker nothing would ever clear the flag: back to idle, and say so.
            g_bInstalling = 0;
            m_nExitCode = setup_exit::kUsage;
            EnableWindow(GetDlgItem(m_hWnd, IDOK), TRUE);
            EnableWindow(GetDlgItem(m_hWnd, IDC_BROWSE), TRUE);
            AfxMessageBox(kWorkerFailedText);
        }
        return;
    }

    StartMainProgramUnlessRunning(m_strInstallPath);
    CDialog::OnOK();
}

void SetupDialog::OnCancel() {
    if (g_bInstalling.load() != 0) return;
    CDialog::OnCancel();
}

void SetupDialog::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == kRunningPromptTimer) {
        KillTimer(m_hWnd, kRunningPromptTimer);
        int answer = MessageBoxA(m_hWnd, kRunningPromptText, kRunningPromptCaption,
                                 MB_YESNO | MB_ICONQUESTION);
        if (answer == IDYES) {
            TerminateProductProcesses();
        } else if (g_bInstalling.load() == 0) {
            // While a run is in progress the dialog is not ended under the worker: the run
            // goes on and closes the installer at its end, as every run does.
            EndDialog(IDCANCEL);
        }
    }
    CDialog::OnTimer(nIDEvent);
}

UniqueHandle SetupDialog::StartInstallWorker() {
    return AfxBeginThread(InstallThreadProc, static_cast<InstallOwner*>(this),
                          THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
}

std::string SetupDialog::GetInstallPath() {
    return m_strInstallPath;
}

void SetupDialog::SetProgressPos(int position) {
    if (!IsEnded()) m_progress.SetPos(position);
}

int SetupDialog::GetAutoRunCheck() {
    return IsEnded() ? 0 : m_chkAutoRun.GetCheck();
}

void SetupDialog::SetInstallButtonText(const char* text) {
    if (!IsEnded()) SetDlgItemTextA(m_hWnd, IDOK, text);
}

void SetupDialog::ReportUnpackFailure(const UnpackOutcome& outcome) {
    m_nExitCode = UnpackOutcomeExitCode(outcome);
    AfxMessageBox(UnpackOutcomeText(outcome).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void SetupDialog::WaitForWorker() {
    if (!m_worker) return;
    HANDLE worker = m_worker.get();
    for (;;) {
        DWORD woke = MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woke != WAIT_OBJECT_0 + 1) break;
        // Serves the messages the worker sends meanwhile; nothing posted is taken off the queue.
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
