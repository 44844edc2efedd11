#include "system/os_version.h"

namespace {

constexpr std::uint32_t kPlatformWin32Windows = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr std::uint32_t kPlatformWin32Nt = 2;       // VER_PLATFORM_WIN32_NT

}  // namespace

int ClassifyOsVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor) {
    if (platformId == kPlatformWin32Windows) {
        if (major != 4) return 0;
        switch (minor) {
            case 0:
                return 8;
            case 10:
                return 7;
            case 90:
                return 6;
            default:
                return 0;
        }
    }
    if (platformId == kPlatformWin32Nt) {
        if (major == 6) return minor == 0 ? 1 : 0;
        if (major == 5) {
            switch (minor) {
                case 2:
                    return 2;
                case 1:
                    return 3;
                case 0:
                    return 4;
                default:
                    return 0;
            }
        }
        // NT 4.0 and earlier; NT 7 and later are not known.
        return major <= 4 ? 5 : 0;
    }
    return 0;
}
