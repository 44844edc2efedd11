// What the browse button makes of a picked folder: the product's own folder always goes below
// it, and on Windows Vista and on releases the installer does not know, a folder on the system
// drive is refused. Plain C++, so that the rule is tested without the picker.
#pragma once

#include "install/product_constants.h"

#include <string>
#include <string_view>

// The install directory for a picked folder: "QuenVox" after a trailing backslash or slash,
// "\QuenVox" otherwise (a drive root D:\ gives D:\QuenVox, D:\Games gives D:\Games\QuenVox).
// The result never ends in a separator.
inline std::string InstallPathForPickedFolder(std::string_view picked) {
    std::string path(picked);
    if (!path.empty() && (path.back() == '\\' || path.back() == '/')) {
        path += kProductFolder;
    } else {
        path += kProductFolderTail;
    }
    return path;
}

// True when the system drive is to be refused for the OS version class (1 Windows Vista, 0 a
// release not recognised, which includes every later one) and the picked folder's first byte is
// the system directory's first byte. The comparison is byte-exact, without case folding; an
// empty string counts as a zero byte, as the zeroed buffers it stands for.
inline bool IsRefusedSystemDrive(int osVersionClass, std::string_view picked,
                                 std::string_view systemDirectory) {
    if (osVersionClass != 0 && osVersionClass != 1) return false;
    char pickedFirst = picked.empty() ? '\0' : picked.front();
    char systemFirst = systemDirectory.empty() ? '\0' : systemDirectory.front();
    return pickedFirst == systemFirst;
}

// IsRefusedSystemDrive for the running system: its release and its system directory.
bool IsRefusedSystemDriveHere(std::string_view picked);
