#include "ui/install_path_rule.h"

#include "system/os_version.h"
#include "system/path_text.h"

#include <windows.h>

#include <array>

bool IsRefusedSystemDriveHere(std::string_view picked) {
    int osVersionClass = GetOsVersionClass();
    // The system directory is asked for only where the drive can be refused.
    PathBuffer systemDirectory{};
    if (osVersionClass == 0 || osVersionClass == 1) {
        GetSystemDirectoryA(systemDirectory.data(), static_cast<UINT>(systemDirectory.size()));
    }
    return IsRefusedSystemDrive(osVersionClass, picked, systemDirectory.data());
}
