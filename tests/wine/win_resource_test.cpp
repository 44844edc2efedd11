// The resource owners of system/win_resource.h leave the caller's last-error value as it was when
// they close what they own, on every way an owned value is let go, also when the close itself
// fails and sets an error of its own (a caller that reads GetLastError() after an owner went out
// of scope must read its own failure, not the close's).
#include "system/win_resource.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <utility>

namespace {

// An error no close sets: the application bit (29) on.
constexpr DWORD kCallersError = 0x20001234;

// No handle of this process has this value: closing it fails. Wine sets ERROR_INVALID_HANDLE for
// CloseHandle and FindClose then. (RegCloseKey returns its error and leaves the last-error value
// alone, so a key gives no such case.)
HANDLE Bogus() {
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7FFFFFF0));
}

// Each way of letting an owned value go; returns the last-error value right after it.
template <typename Owner>
DWORD ByDestructor() {
    {
        Owner owner(Bogus());
        SetLastError(kCallersError);
    }
    return GetLastError();
}

template <typename Owner>
DWORD ByReset() {
    Owner owner(Bogus());
    SetLastError(kCallersError);
    owner.reset();
    return GetLastError();
}

template <typename Owner>
DWORD ByResetToAnother() {
    Owner owner(Bogus());
    SetLastError(kCallersError);
    owner.reset(Bogus());
    DWORD error = GetLastError();
    owner.release();
    return error;
}

template <typename Owner>
DWORD ByMoveAssignment() {
    Owner owner(Bogus());
    Owner empty;
    SetLastError(kCallersError);
    owner = std::move(empty);
    return GetLastError();
}

template <typename Owner>
DWORD ByPut() {
    Owner owner(Bogus());
    SetLastError(kCallersError);
    owner.put();
    return GetLastError();
}

template <typename Owner>
void ExpectTheCallersErrorKept(const char* kind, BOOL(WINAPI* close)(HANDLE)) {
    SCOPED_TRACE(kind);
    // The close itself does change the last-error value, so the owner has something to undo.
    SetLastError(kCallersError);
    EXPECT_FALSE(close(Bogus()));
    DWORD closeError = GetLastError();
    ASSERT_NE(closeError, kCallersError);

    const std::pair<const char*, DWORD (*)()> ways[] = {
        {"destructor", &ByDestructor<Owner>},
        {"reset()", &ByReset<Owner>},
        {"reset(another)", &ByResetToAnother<Owner>},
        {"move assignment", &ByMoveAssignment<Owner>},
        {"put()", &ByPut<Owner>},
    };
    for (const auto& [way, run] : ways) {
        EXPECT_EQ(run(), kCallersError) << way;
    }
}

TEST(UniqueResource, KeepsTheCallersLastErrorWhenTheCloseFailsWithItsOwn) {
    ExpectTheCallersErrorKept<UniqueHandle>("UniqueHandle", &CloseHandle);
    ExpectTheCallersErrorKept<UniqueFileHandle>("UniqueFileHandle", &CloseHandle);
    ExpectTheCallersErrorKept<UniqueFindHandle>("UniqueFindHandle", &FindClose);
}

TEST(UniqueResource, ClosesARealHandleOnceAndKeepsTheCallersLastError) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    {
        UniqueHandle owner(event);
        SetLastError(kCallersError);
    }
    EXPECT_EQ(GetLastError(), kCallersError);
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(event, &flags)) << "the owner left the handle open";
}

TEST(UniqueItemIdList, HoldsWhatTheShellHandsOutAndKeepsTheCallersLastError) {
    ScopedComInitialize com;
    UniqueItemIdList computer;
    ASSERT_TRUE(SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, computer.put())));
    ASSERT_TRUE(computer);
    std::string path(MAX_PATH, '\0');
    // The computer folder is no file-system folder: no path, but a valid list.
    EXPECT_FALSE(SHGetPathFromIDListA(computer.get(), path.data()));
    SetLastError(kCallersError);
    computer.reset();
    EXPECT_EQ(GetLastError(), kCallersError);
    EXPECT_FALSE(computer);
}

}  // namespace
