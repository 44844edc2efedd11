#include "framework/app.h"

#include <array>

namespace {
CWinApp* g_app = nullptr;
}

std::string AppTitleFromModule() {
    std::array<char, MAX_PATH> path{};
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) return {};
    std::string name(path.data(), length);
    std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

CWinApp::CWinApp(const char* appName) : m_strTitle(appName != nullptr ? appName : "") {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

int CWinApp::Run() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int AfxWinMain(HINSTANCE instance) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return 1;
    app->m_hInstance = instance;
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
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
    if (g_app != nullptr && *g_app->GetAppTitle() != '\0') return g_app->GetAppTitle();
    return AppTitleFromModule();
}
