#include "dialog_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <array>

namespace dd {

namespace {

struct Collected {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
    auto* collected = reinterpret_cast<Collected*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == collected->processId && IsWindowVisible(window)) {
        collected->windows.push_back(window);
    }
    return TRUE;
}

HWND MessageBoxText(HWND window) {
    // The text of a message box is the static 0xFFFF. Statics of a dialog template may have that
    // id too (the About box's do), so callers tell boxes apart by their caption.
    HWND text = GetDlgItem(window, 0xFFFF);
    if (text == nullptr) return nullptr;
    std::array<char, 16> name{};
    GetClassNameA(text, name.data(), static_cast<int>(name.size()));
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name.data(), -1, "Static", -1) ==
                   CSTR_EQUAL
               ? text
               : nullptr;
}

std::optional<MessageBoxView> AsMessageBox(HWND window) {
    if (!IsDialogWindow(window)) return std::nullopt;
    HWND text = MessageBoxText(window);
    if (text == nullptr) return std::nullopt;
    return MessageBoxView{window, Text(window), Text(text)};
}

LRESULT Query(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) {
        return 0;
    }
    return static_cast<LRESULT>(result);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= milliseconds) return condition();
        Sleep(20);
    }
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
    Collected collected{processId, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&collected));
    return collected.windows;
}

HWND WaitForTopLevel(DWORD processId, const std::function<bool(HWND)>& accept, DWORD milliseconds) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(processId)) {
                if (accept(window)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        milliseconds);
    return found;
}

bool IsDialogWindow(HWND window) {
    std::array<char, 16> name{};
    GetClassNameA(window, name.data(), static_cast<int>(name.size()));
    return std::string(name.data()) == "#32770";
}

std::string Text(HWND window) {
    if (window == nullptr || !IsWindow(window)) return {};
    // Long enough for every text of the installer; WM_GETTEXT never writes past it.
    std::array<char, 1024> text{};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied)) {
        return {};
    }
    return std::string(text.data(), std::min<std::size_t>(copied, text.size() - 1));
}

std::string ControlText(HWND dialog, int id) {
    return Text(GetDlgItem(dialog, id));
}

HWND WaitForDialog(DWORD processId, const std::string& title, DWORD milliseconds) {
    return WaitForTopLevel(
        processId, [&](HWND window) { return IsDialogWindow(window) && Text(window) == title; },
        milliseconds);
}

bool WaitForWindowGone(HWND window, DWORD milliseconds) {
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, milliseconds);
}

bool IsControlEnabled(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && IsWindowEnabled(control);
}

bool IsControlVisible(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

int CheckState(HWND dialog, int id) {
    return static_cast<int>(Query(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

int ProgressPosition(HWND dialog, int id) {
    return static_cast<int>(Query(GetDlgItem(dialog, id), PBM_GETPOS, 0, 0));
}

int ProgressLow(HWND dialog, int id) {
    return static_cast<int>(Query(GetDlgItem(dialog, id), PBM_GETRANGE, TRUE, 0));
}

int ProgressHigh(HWND dialog, int id) {
    return static_cast<int>(Query(GetDlgItem(dialog, id), PBM_GETRANGE, FALSE, 0));
}

void Click(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PressEscape(HWND dialog) {
    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0xC0000001);
}

void SystemCommand(HWND dialog, UINT command) {
    PostMessageA(dialog, WM_SYSCOMMAND, command, 0);
}

std::vector<MessageBoxView> MessageBoxes(DWORD processId) {
    std::vector<MessageBoxView> boxes;
    for (HWND window : TopLevelWindows(processId)) {
        if (std::optional<MessageBoxView> box = AsMessageBox(window)) boxes.push_back(*box);
    }
    return boxes;
}

std::optional<MessageBoxView> WaitForMessageBox(DWORD processId, const std::string& caption,
                                                DWORD milliseconds) {
    std::optional<MessageBoxView> found;
    WaitForTopLevel(
        processId,
        [&](HWND window) {
            found = AsMessageBox(window);
            return found && found->caption == caption;
        },
        milliseconds);
    return found && found->caption == caption ? found : std::nullopt;
}

void Answer(HWND box, int button) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

}  // namespace dd
