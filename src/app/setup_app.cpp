#include "app/setup_app.h"

#include "app/command_line.h"
#include "app/unattended_install.h"
#include "app/dll_search.h"
#include "app/instance_guard.h"
#include "framework/message_box.h"
#include "install/unpack_outcome.h"
#include "ui/setup_dialog.h"

namespace {

constexpr char kAlreadyRunningText[] = "安装程序已经运行!";
constexpr char kUsageText[] =
    "用法: Setup.exe [/S] [/NORUN] [/D=安装目录]\n"
    "\n"
    "/S\t无人值守安装: 不显示任何窗口, 结果由退出代码给出\n"
    "/NORUN\t不设置开机自动运行\n"
    "/D=目录\t安装目录 (不加引号, 可含空格, 必须放在最后);\n"
    "\t不带 /S 时只预先填入安装目录\n"
    "/?\t显示本说明\n"
    "\n"
    "退出代码:\n"
    "0\t安装成功\n"
    "1\t参数错误或没有安装目录 (或未安装就关闭了窗口)\n"
    "2\t另一个安装程序正在运行\n"
    "3\t不能安装在系统盘\n"
    "4\t澜舟雅韵或播放器正在运行\n"
    "5\t安装包缺失、不完整或已损坏\n"
    "6\t磁盘空间不足\n"
    "7\t无法写入文件";

}  // namespace

SetupApp theApp;

SetupApp::SetupApp() {
    RestrictDllSearchPath();
}

SetupApp::~SetupApp() = default;

BOOL SetupApp::InitInstance() {
    SetupCommandLine options = ParseSetupArguments(ArgumentsOf(GetCommandLineA()));
    if (options.silent) {
        m_nExitCode = RunUnattended(options, m_hInstanceMutex);
        return FALSE;
    }
    if (options.help) {
        AfxMessageBox(kUsageText, MB_OK | MB_ICONINFORMATION);
        m_nExitCode = setup_exit::kInstalled;
        return FALSE;
    }

    if (ClaimSingleInstance(kInstanceMutexName, m_hInstanceMutex) == InstanceClaim::HeldElsewhere) {
        AfxMessageBox(kAlreadyRunningText, MB_ICONEXCLAMATION);
        m_nExitCode = setup_exit::kAlreadyRunning;
        return FALSE;
    }

    SetupDialog dialog;
    if (options.targetDir) dialog.PresetInstallPath(*options.targetDir);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    m_nExitCode = dialog.ExitCode();
    return FALSE;
}

int SetupApp::ExitInstance() {
    return m_nExitCode;
}
