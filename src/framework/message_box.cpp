#include "framework/message_box.h"

#include "framework/app.h"

#include <string>

int AfxMessageBox(const char* text, UINT type) {
    if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
    HWND owner = nullptr;
    if (CWnd* main = AfxGetMainWnd();
        main != nullptr && main->m_hWnd != nullptr && IsWindow(main->m_hWnd) &&
        GetWindowThreadProcessId(main->m_hWnd, nullptr) == GetCurrentThreadId()) {
        owner = main->m_hWnd;
    } else {
        type |= MB_SETFOREGROUND;
    }
    std::string title = AfxGetAppTitle();
    return MessageBoxA(owner, text, title.c_str(), type);
}
