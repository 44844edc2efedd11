// The library-search hardening on systems that lack its calls. RestrictDllSearchPath looks both
// up at run time: Windows XP SP3 has SetDllDirectoryA but not SetDefaultDllDirectories (Windows 8,
// or Vista and 7 with their loader update), Windows 2000 and XP before SP1 have neither. Wine
// offers both whatever version a prefix claims, so the lookup itself answers here as each system
// would, and the calls made are recorded instead of changing this process.
#include "app/dll_search.h"
#include "import_hook.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

struct System {
    const char* name;
    bool hasSetDefaultDllDirectories;
    bool hasSetDllDirectoryA;
};

struct Record {
    std::vector<std::string> lookedUp;
    int setDefaultCalls = 0;
    DWORD setDefaultFlags = 0;
    int setDirectoryCalls = 0;
    std::string directory;
};

const System* g_system = nullptr;
Record g_record;
const wt::ImportHook* g_hook = nullptr;

BOOL WINAPI RecordSetDefaultDllDirectories(DWORD flags) {
    ++g_record.setDefaultCalls;
    g_record.setDefaultFlags = flags;
    return TRUE;
}

BOOL WINAPI RecordSetDllDirectoryA(LPCSTR directory) {
    ++g_record.setDirectoryCalls;
    g_record.directory = directory != nullptr ? directory : "(null)";
    return TRUE;
}

FARPROC Missing() {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

FARPROC WINAPI GetProcAddressAsOnSystem(HMODULE module, LPCSTR name) {
    // Names only: an ordinal is a small integer in the pointer's place.
    if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF) {
        if (std::strcmp(name, "SetDefaultDllDirectories") == 0) {
            g_record.lookedUp.emplace_back(name);
            return g_system->hasSetDefaultDllDirectories
                       ? reinterpret_cast<FARPROC>(
                             reinterpret_cast<void*>(&RecordSetDefaultDllDirectories))
                       : Missing();
        }
        if (std::strcmp(name, "SetDllDirectoryA") == 0) {
            g_record.lookedUp.emplace_back(name);
            return g_system->hasSetDllDirectoryA
                       ? reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&RecordSetDllDirectoryA))
                       : Missing();
        }
    }
    return g_hook->Original<decltype(&GetProcAddress)>()(module, name);
}

TEST(DllSearchOnOlderSystems, EachCallIsMadeWhereTheSystemHasItAndSkippedWhereNot) {
    const System systems[] = {
        {"Windows 8 and later, Vista and 7 with the loader update", true, true},
        {"Windows XP SP1 to 7 without the update (XP SP3 among them)", false, true},
        {"Windows 2000 and XP before SP1", false, false},
    };
    for (const System& system : systems) {
        SCOPED_TRACE(system.name);
        g_system = &system;
        g_record = Record{};
        {
            wt::ImportHook hook("kernel32.dll", "GetProcAddress",
                                reinterpret_cast<void*>(&GetProcAddressAsOnSystem));
            ASSERT_TRUE(hook.Installed());
            g_hook = &hook;
            RestrictDllSearchPath();
            g_hook = nullptr;
        }
        EXPECT_EQ(g_record.lookedUp,
                  (std::vector<std::string>{"SetDefaultDllDirectories", "SetDllDirectoryA"}));
        EXPECT_EQ(g_record.setDefaultCalls, system.hasSetDefaultDllDirectories ? 1 : 0);
        if (system.hasSetDefaultDllDirectories) {
            EXPECT_EQ(g_record.setDefaultFlags, kSearchSystem32);
        }
        EXPECT_EQ(g_record.setDirectoryCalls, system.hasSetDllDirectoryA ? 1 : 0);
        if (system.hasSetDllDirectoryA) {
            // The empty string, not null: null would restore the current directory.
            EXPECT_EQ(g_record.directory, "");
        }
    }
}

}  // namespace
