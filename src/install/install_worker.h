// One installation from end to end, on a worker thread of its own.
#pragma once

#include "install/install_owner.h"
#include "install/unpack_outcome.h"

#include <windows.h>

// Unpacks the payload into the owner's install path and, only when every file is in place,
// registers the product with the auto-run state the owner gives at that moment. What unpacking
// came to; shows nothing.
UnpackOutcome InstallProduct(InstallOwner& owner);

// Thread procedure; `parameter` is the run's InstallOwner*. Unpacks and registers (or, when the
// payload could not be installed whole, has the owner tell the user and registers nothing), marks
// the run finished ("完成", flag cleared), starts the product unless it runs, opens the home page
// and finally calls the owner's OnCancel. Always returns 0.
UINT __cdecl InstallThreadProc(LPVOID parameter);
