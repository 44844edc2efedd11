// Classification of the platform id and version numbers that the system reports.
#include "system/os_version.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct VersionCase {
    std::uint32_t platformId;
    std::uint32_t major;
    std::uint32_t minor;
    int expected;
};

constexpr std::uint32_t kWin32s = 0;
constexpr std::uint32_t kWindows = 1;
constexpr std::uint32_t kNt = 2;
constexpr std::uint32_t kCe = 3;

TEST(ClassifyOsVersion, MapsEveryReleaseToItsClass) {
    const VersionCase cases[] = {
        // NT 6.x: only Vista/Server 2008 is known; Windows 7, 8 and 8.1 are not.
        {kNt, 6, 0, 1},
        {kNt, 6, 1, 0},
        {kNt, 6, 2, 0},
        {kNt, 6, 3, 0},
        // NT 5.x, server or workstation alike.
        {kNt, 5, 2, 2},
        {kNt, 5, 1, 3},
        {kNt, 5, 0, 4},
        {kNt, 5, 3, 0},
        // NT 4.0 and earlier, whatever the minor version.
        {kNt, 4, 0, 5},
        {kNt, 4, 90, 5},
        {kNt, 3, 51, 5},
        {kNt, 0, 0, 5},
        // NT 7 and later, up to the largest major number.
        {kNt, 7, 0, 0},
        {kNt, 10, 0, 0},
        {kNt, 0xFFFFFFFFu, 0, 0},
        // Windows 9x.
        {kWindows, 4, 90, 6},
        {kWindows, 4, 10, 7},
        {kWindows, 4, 0, 8},
        {kWindows, 4, 3, 0},
        {kWindows, 3, 10, 0},
        {kWindows, 5, 0, 0},
        // Other platforms.
        {kWin32s, 3, 10, 0},
        {kWin32s, 4, 0, 0},
        {kCe, 4, 0, 0},
        {kCe, 5, 2, 0},
    };
    for (const VersionCase& c : cases) {
        EXPECT_EQ(ClassifyOsVersion(c.platformId, c.major, c.minor), c.expected)
            << "platform " << c.platformId << ", version " << c.major << "." << c.minor;
    }
}

}  // namespace
