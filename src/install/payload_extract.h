// Finding and unpacking the payload that ships beside the installer.
#pragma once

#include "install/install_owner.h"

// Opens "Data.cab" in the executable's directory and unpacks it into the owner's install path.
// True once the container was opened and walked, whatever became of each entry; false when it
// could not be opened, after the user has closed the failure message.
bool ExtractPayload(InstallOwner& owner);
