#include "framework/app.h"

#include "system/path_helpers.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

int AfxWinMain(HINSTANCE instance) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return 1;
    app->m_hInstance = instance;
    app->InitInstance();
    return app->ExitInstance();
}

CWinApp* AfxGetApp() {
    return g_app;
}

CWnd* AfxGetMainWnd() {
    return g_app != nullptr ? g_app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetResourceHandle() {
    if (g_app != nullptr && g_app->m_hInstance != nullptr) return g_app->m_hInstance;
    return GetModuleHandleA(nullptr);
}

std::string AfxGetAppTitle() {
    std::string name = GetExecutablePath();
    std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}
