#include "system/os_version.h"

#include <windows.h>

// The record is the extended one; the older systems that refuse it take its first 148 bytes.
static_assert(sizeof(OSVERSIONINFOEXA) == 156);
static_assert(sizeof(OSVERSIONINFOA) == 148);

int GetOsVersionClass() {
    OSVERSIONINFOEXA info{};
    auto* record = reinterpret_cast<OSVERSIONINFOA*>(&info);
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (!GetVersionExA(record)) {
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(record)) return 0;
    }
    return ClassifyOsVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}
