// Finding the directory of an earlier installation of the product.
#pragma once

#include <windows.h>

#include <string>

// The directory an earlier installation used, without a trailing separator: from the uninstall
// entry when its key exists, else from the desktop shortcut, else from the Start-menu group
// shortcut. Empty when no trace is found. `ownerWindow` owns any dialog the shell shows while it
// looks for a shortcut's moved target; with `allowShellUi` false the shell shows none.
std::string FindPreviousInstallDir(HWND ownerWindow, bool allowShellUi = true);
