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

    // The window this object stands for; null until it is created or bound.
    HWND m_hWnd = nullptr;
};

class CWinApp {
  public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs once and does the application's whole work: a dialog application runs its dialog
    // modally here, so there is no message loop after it. The result is the framework's
    // convention and is not read.
    virtual BOOL InitInstance() { return FALSE; }
    // Runs after InitInstance; its result is the process exit code.
    virtual int ExitInstance() { return 0; }

    // The main window while it runs (the setup dialog), else null.
    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
};

// The one application object, or null before it is constructed (tests without one).
CWinApp* AfxGetApp();
// The application's main window, or null.
CWnd* AfxGetMainWnd();
// The application title: the running executable's file name without its extension ("Setup" for
// Setup.exe), however long the path it was started from.
std::string AfxGetAppTitle();
// The module that holds the dialog templates, icons and strings: the executable.
HINSTANCE AfxGetResourceHandle();

// The body of the process entry point: hands the instance to the one application object and runs
// its InitInstance, then its ExitInstance, whose result is the exit code; 1 without an
// application object.
int AfxWinMain(HINSTANCE instance);
