// Driving the shell's folder picker that another process shows: finding it, and choosing a drive
// in its tree as a person would (the desktop, the computer folder below it, then the drive). The
// tree belongs to the other process, so its item texts are read through a buffer placed in that
// process, the way any outside tool reads another program's tree view.
#pragma once

#include <windows.h>

#include <string>

namespace dd {

// The process's top-level window other than `except` that holds a tree view, waiting at most
// `milliseconds`; null when none came.
HWND WaitForFolderPicker(DWORD processId, HWND except, DWORD milliseconds);

// Selects the drive `drive` ("D:") in the picker's tree and presses its OK button. False when the
// tree cannot be read or the drive is not found in it within `milliseconds`.
bool PickDrive(HWND picker, DWORD processId, const std::string& drive, DWORD milliseconds);

}  // namespace dd
