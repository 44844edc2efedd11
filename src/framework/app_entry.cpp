// The process entry point of a program built on this framework: hand the instance to the one
// application object and run its InitInstance.
#include "framework/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return 1;
    app->m_hInstance = instance;
    if (!app->InitInstance()) return 0;
    return app->Run();
}
