// GetOsVersionClass: the real version query in prefixes set to several Windows versions, and the
// fallback to the older, shorter record when a system refuses the extended one.
#include "system/os_version.h"

#include "import_hook.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

TEST(GetOsVersionClass, ClassifiesTheRunningSystem) {
    // The Windows version the prefix was set to (tests/wine/os_version.cmake); Wine's default
    // reports Windows 7.
    const char* configured = std::getenv("SETUP_WINE_VERSION");
    const std::string version = configured != nullptr ? configured : "";
    struct Expectation {
        const char* version;
        int expected;
    };
    const Expectation expectations[] = {
        {"", 0}, {"win7", 0}, {"win8", 0}, {"win10", 0}, {"vista", 1}, {"winxp64", 2},
    };
    bool known = false;
    for (const Expectation& e : expectations) {
        if (version != e.version) continue;
        known = true;
        EXPECT_EQ(GetOsVersionClass(), e.expected);
    }
    EXPECT_TRUE(known) << "no expectation for Windows version '" << version << "'";
    // Every call asks again and gets the same answer.
    EXPECT_EQ(GetOsVersionClass(), GetOsVersionClass());
}

// A version query standing in for a system that may refuse either record size.
struct FakeSystem {
    bool acceptsExtended;
    bool acceptsBasic;
    DWORD platformId;
    DWORD major;
    DWORD minor;
    std::vector<DWORD> sizesAsked;
};
FakeSystem* g_system = nullptr;

BOOL WINAPI FakeGetVersionExA(LPOSVERSIONINFOA info) {
    const DWORD size = info->dwOSVersionInfoSize;
    g_system->sizesAsked.push_back(size);
    const bool accepted = (size == sizeof(OSVERSIONINFOEXA) && g_system->acceptsExtended) ||
                          (size == sizeof(OSVERSIONINFOA) && g_system->acceptsBasic);
    if (!accepted) return FALSE;
    info->dwPlatformId = g_system->platformId;
    info->dwMajorVersion = g_system->major;
    info->dwMinorVersion = g_system->minor;
    return TRUE;
}

TEST(GetOsVersionClass, FallsBackToTheShorterRecord) {
    struct Case {
        const char* what;
        FakeSystem system;
        int expected;
        std::vector<DWORD> sizes;
    };
    const Case cases[] = {
        {"extended record accepted", {true, true, 2, 6, 0, {}}, 1, {156}},
        {"only the shorter record", {false, true, 2, 5, 1, {}}, 3, {156, 148}},
        {"only the shorter record, Windows Me", {false, true, 1, 4, 90, {}}, 6, {156, 148}},
        {"both refused", {false, false, 2, 5, 0, {}}, 0, {156, 148}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem system = c.system;
        g_system = &system;
        wt::ImportHook hook("kernel32.dll", "GetVersionExA",
                            reinterpret_cast<void*>(&FakeGetVersionExA));
        ASSERT_TRUE(hook.Installed());
        EXPECT_EQ(GetOsVersionClass(), c.expected);
        EXPECT_EQ(system.sizesAsked, c.sizes);
        g_system = nullptr;
    }
}

}  // namespace
