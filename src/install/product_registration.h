// Making an installed product known to the desktop and the system: six shortcuts, the optional
// per-machine Run value and the uninstall entry.
#pragma once

#include <string>

// Registers the product installed in `installDir` (no trailing separator); `autoRun` non-zero
// asks for the Run value. Every step is best effort and nothing is reported. Always 1.
int RegisterProduct(const std::string& installDir, int autoRun);
