// The application object and window base of the installer's small application framework: one
// global CWinApp-derived object, whose InitInstance the entry point runs once.
#pragma once

#include <windows.h>

#include <string>

class CWnd {
  public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }

    // The window this object stands for; null until it is created or bound.
    HWND m_hWnd = nullptr;
};

class CWinApp {
  public:
    // With no name given, the application title is the executable's file name without its
    // extension ("Setup" for Setup.exe).
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs once; returning false tells the entry point to run no message loop and end.
    virtual BOOL InitInstance() { return FALSE; }
    // Runs when InitInstance returned false; its result is the process exit code.
    virtual int ExitInstance() { return 0; }
    // Runs the message loop when InitInstance returned true; the exit code.
    virtual int Run();

    // The three-dimensional control look is the system's own on every supported Windows.
    BOOL Enable3dControlsStatic() { return TRUE; }

    const char* GetAppTitle() const { return m_strTitle.c_str(); }

    // The main window while it runs (the setup dialog), else null.
    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;

  private:
    std::string m_strTitle;
};

// The one application object, or null before it is constructed (tests without one).
CWinApp* AfxGetApp();
// The application's main window, or null.
CWnd* AfxGetMainWnd();
// The application title; without an application object, the executable's name without extension.
std::string AfxGetAppTitle();
// The module that holds the dialog templates, icons and strings: the executable.
HINSTANCE AfxGetResourceHandle();
// Control containers (ActiveX hosting) are not used by these dialogs; kept for the call site.
inline void AfxEnableControlContainer() {}

// The body of the process entry point: hands the instance to the one application object and runs
// its InitInstance, then its message loop if InitInstance asked for one. The exit code: the
// application's ExitInstance when no loop ran, 1 without an application object.
int AfxWinMain(HINSTANCE instance);

// Title derived from the running executable's file name.
std::string AppTitleFromModule();
