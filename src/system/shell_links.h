// Shell link (.lnk) operations and special-folder paths, shared by registration and discovery.
// Each shortcut operation brings the calling thread into COM for its own duration and leaves the
// thread's COM state as it found it.
#pragma once

#include "system/path_text.h"

#include <windows.h>

// Hotkey of every shortcut the installer writes: Ctrl+Shift+R.
inline constexpr WORD kShortcutHotkey = 0x0352;

// Writes a shortcut at `linkPath` (its folder must exist) that starts `target`, with the hotkey
// Ctrl+Shift+R and nothing else set. 1 once the shell link object and its persistence interface
// were obtained (a failed save still gives 1); 0 otherwise. A target that does not fit in
// kPathBufferSize bytes, or a link path that does not fit in kPathBufferSize wide characters, is
// never cut into another path: nothing is saved and the result is 0.
int CreateShortcut(const char* target, const char* linkPath);

// Reads the shortcut at `linkPath` and writes the directory holding its target (no trailing
// separator) into `outDirectory` (at least kPathBufferSize bytes). 1 on success; 0 otherwise, with
// `outDirectory` untouched. The shell may show its own dialog, owned by `ownerWindow`, while it
// looks for a moved target; with `allowShellUi` false it shows none (SLR_NO_UI).
int ResolveShortcutDirectory(HWND ownerWindow, const char* linkPath, char* outDirectory,
                             bool allowShellUi = true);

// The target path stored in the shortcut at `linkPath`, as stored: nothing is resolved and no
// dialog is shown, so a shortcut whose target is gone still tells where it pointed. Written into
// `outTarget` (kPathBufferSize bytes); false when the file cannot be loaded as a shortcut or holds
// no path, with `outTarget` untouched.
bool ReadShortcutTarget(const char* linkPath, char* outTarget);

// File-system path of a special folder (CSIDL_DESKTOP, CSIDL_PROGRAMS) into `outPath`
// (kPathBufferSize bytes). False when it cannot be had; `outPath` is then not to be used.
bool GetShellFolderPath(int csidl, char* outPath);
