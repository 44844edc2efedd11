#include "framework/message_box.h"

#include "framework/app.h"
#include "framework/dialog.h"

#include <string>

int AfxMessageBox(const char* text, UINT type) {
    if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
    HWND owner = AfxGetModalOwner();
    if (owner == nullptr) type |= MB_SETFOREGROUND;
    std::string title = AfxGetAppTitle();
    return MessageBoxA(owner, text, title.c_str(), type);
}
