// Unpacking the payload container into the install directory.
#pragma once

#include "install/install_owner.h"

#include <cstdio>
#include <string>

// Walks the container on `payload` (open for binary reading, at its first byte; the caller keeps
// ownership), recreates every directory its entries name under `targetDir` and writes every file,
// setting the owner's progress position before each entry. Only SetProgressPos is used.
//
// Nothing is reported: an entry whose file cannot be written is skipped, a container cut short
// yields its files at their declared sizes with zero bytes for what is missing. An entry whose
// names hold a parent reference ("..") is skipped whole. The walk stops at a name that does not
// end inside its 260-byte window or at a data size of 0xFFFFFFFF, both outside the format.
void UnpackPayload(InstallOwner& owner, const std::string& targetDir, std::FILE* payload);
