// The installer's application object: one installer at a time, the setup dialog run modally, and
// the end of the process when the dialog has ended.
#pragma once

#include "framework/app.h"
#include "system/win_resource.h"

// Name of the mutex whose existence marks a running installer (no namespace prefix).
inline constexpr char kInstanceMutexName[] = "_ASDPFJASDFASCSetupAppPDFXXX";

class SetupApp : public CWinApp {
  public:
    // Also restricts the library search path: the application object is constructed before
    // anything of the program runs, so no library has been loaded by name yet.
    SetupApp();
    ~SetupApp() override;

    // Reads the command line: /S installs without a window, /? shows the usage. Otherwise shows
    // "安装程序已经运行!" and returns when another installer holds the mutex, or holds the mutex
    // and runs the setup dialog. Always false: the process then ends.
    BOOL InitInstance() override;
    // The exit code of what InitInstance did (setup_exit).
    int ExitInstance() override;

  private:
    // Held, never released, for the life of the process.
    UniqueHandle m_hInstanceMutex;
    int m_nExitCode = 0;
};

extern SetupApp theApp;
