// Driving the shell's folder picker that another process shows: finding it, and choosing a drive
// in its tree as a person would (the desktop, the computer folder below it, then the drive). The
// tree belongs to the other process, so its item texts are read through a buffer placed in that
// process, the way any outside tool reads another program's tree view.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace dd {

// The process's top-level window other than `except` that holds a tree view, waiting at most
// `milliseconds`; null when none came.
HWND WaitForFolderPicker(DWORD processId, HWND except, DWORD milliseconds);

// Selects the drive `drive` ("D:") in the picker's tree, leaving the picker open. False when the
// tree cannot be read or the drive is not found in it within `milliseconds`; `seen`, when given,
// then holds the item texts of the last search (empty when the tree could not be read at all).
bool SelectDrive(HWND picker, DWORD processId, const std::string& drive, DWORD milliseconds,
                 std::vector<std::string>* seen = nullptr);

// SelectDrive, then the picker's OK button.
bool PickDrive(HWND picker, DWORD processId, const std::string& drive, DWORD milliseconds);

}  // namespace dd
