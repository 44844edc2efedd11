// The framework's message box: the application title as caption, and the exclamation icon when
// the caller gives none.
#pragma once

#include <windows.h>

// Shows a modal box and returns the button pressed (IDOK, IDYES, ...). On a thread that runs a
// dialog the box is owned by the innermost one (or by the main window on its own thread), so it
// is modal over it. From any other thread the box has no owner and comes to the foreground, so a
// worker never waits on another thread's window.
int AfxMessageBox(const char* text, UINT type = MB_OK);
