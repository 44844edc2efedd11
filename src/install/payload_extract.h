// Finding and unpacking the payload that ships beside the installer.
#pragma once

#include "install/install_owner.h"
#include "install/unpack_outcome.h"

// Opens "Data.cab" in the executable's directory and unpacks it into the owner's install path,
// moving the owner's progress bar. kPayloadMissing when the container cannot be opened, with
// nothing written; otherwise what UnpackPayload came to. Shows nothing: the caller tells the user.
UnpackOutcome ExtractPayload(InstallOwner& owner);
