// A small driver for the installer's windows, in this process or in another one on the same
// desktop: finding a dialog by its title, reading and clicking its controls, reading and
// answering message boxes. Every wait has a limit, so a window that never comes (or a program
// that hangs) fails the caller instead of stalling it. No GoogleTest here: the Wine tests and the
// main job's unattended run (tools/setup-demo) drive the installer with the same code.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dd {

// Limits for the waits of the tests: a window that shows up in the normal course, and one that
// comes after the installer's running check has looked for a player thousands of times (each
// lookup a full process snapshot: under Wine on a busy machine that took up to two minutes).
inline constexpr DWORD kWindowWait = 30000;
inline constexpr DWORD kSlowWindowWait = 240000;

// Checks `condition` every 20 ms until it holds or `milliseconds` have passed; its last value.
bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds);

// Visible top-level windows of the process.
std::vector<HWND> TopLevelWindows(DWORD processId);

// The process's first visible top-level window that `accept` takes, waiting at most
// `milliseconds`; null when none came.
HWND WaitForTopLevel(DWORD processId, const std::function<bool(HWND)>& accept, DWORD milliseconds);

// A window of the dialog class (#32770): dialogs and message boxes.
bool IsDialogWindow(HWND window);

// Window text read with WM_GETTEXT, which the window's own thread answers (also across
// processes); empty when the window is gone or does not answer within 5 s.
std::string Text(HWND window);
std::string ControlText(HWND dialog, int id);

// The process's first visible top-level window titled `title` that is a dialog (class #32770),
// waiting at most `milliseconds`; null when none came.
HWND WaitForDialog(DWORD processId, const std::string& title, DWORD milliseconds = kWindowWait);
// True once `window` is gone or hidden, waiting at most `milliseconds`.
bool WaitForWindowGone(HWND window, DWORD milliseconds = kWindowWait);

bool IsControlEnabled(HWND dialog, int id);
bool IsControlVisible(HWND dialog, int id);
// BM_GETCHECK of a check box.
int CheckState(HWND dialog, int id);
// Position and range of a progress bar (PBM_GETPOS, PBM_GETRANGE).
int ProgressPosition(HWND dialog, int id);
int ProgressLow(HWND dialog, int id);
int ProgressHigh(HWND dialog, int id);

// A click of button `id` as the button reports it (WM_COMMAND with BN_CLICKED), posted, so that
// a handler that opens a modal box does not block the driver. It reaches the dialog whether or
// not the button is enabled, as a command from another program would.
void Click(HWND dialog, int id);
// The Escape key as the dialog manager sees it.
void PressEscape(HWND dialog);
// A system-menu command (SC_CLOSE for the close box and Alt+F4, or a command of the program).
void SystemCommand(HWND dialog, UINT command);

// A message box: a dialog whose text is the static control 0xFFFF.
struct MessageBoxView {
    HWND window = nullptr;
    std::string caption;
    std::string text;
};
// The process's first visible message box captioned `caption`, waiting at most `milliseconds`.
std::optional<MessageBoxView> WaitForMessageBox(DWORD processId, const std::string& caption,
                                                DWORD milliseconds = kWindowWait);
// The message boxes the process shows at this moment.
std::vector<MessageBoxView> MessageBoxes(DWORD processId);
// Presses `button` (IDOK, IDYES, IDNO) of a message box or dialog by posting its command.
void Answer(HWND box, int button);

}  // namespace dd
