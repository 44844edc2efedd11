// An installation without any window, for administrators who roll the product out (/S).
#pragma once

#include "app/command_line.h"
#include "system/win_resource.h"

// Runs the installation the command line asks for and returns its exit code (setup_exit): the
// same rules as the dialog (one installer at a time, held in `instanceMutex` for the life of the
// process; the system drive refused where the dialog refuses it; nothing ended and nothing written
// while the product or the player runs), then the same unpacking and registration, with the Run
// value unless /NORUN. Starts neither the product nor the browser, and shows nothing.
int RunUnattended(const SetupCommandLine& options, UniqueHandle& instanceMutex);
