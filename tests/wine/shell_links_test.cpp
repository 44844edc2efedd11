// Shortcuts written by CreateShortcut and resolved by ResolveShortcutDirectory through the real
// shell, and special-folder paths with the shell's allocator watched.
#include "system/shell_links.h"

#include "import_hook.h"
#include "shortcut_support.h"
#include "wine_test_support.h"
#include "system/win_resource.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <thread>

namespace {

class ShellLinksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = wt::MakeScratchDirectory("links");
        ASSERT_FALSE(folder_.empty());
    }
    std::string folder_;
};

TEST_F(ShellLinksTest, CreateShortcutStoresTargetAndHotkeyAndNothingElse) {
    const std::string targets[] = {"C:\\Prog\\Player\\player.exe", "D:\\澜舟雅韵\\Quenvox.exe",
                                   "C:\\player.exe"};
    int index = 0;
    for (const std::string& target : targets) {
        SCOPED_TRACE(target);
        const std::string link = folder_ + "\\澜舟雅韵" + std::to_string(++index) + ".lnk";
        ASSERT_EQ(CreateShortcut(target.c_str(), link.c_str()), 1);

        std::optional<wt::ShortcutContents> contents = wt::ReadShortcut(link);
        ASSERT_TRUE(contents.has_value());
        EXPECT_EQ(contents->target, target);
        EXPECT_EQ(contents->hotkey, 0x0352);  // Ctrl+Shift+R
        EXPECT_EQ(contents->workingDirectory, "");
        EXPECT_EQ(contents->arguments, "");
        EXPECT_EQ(contents->description, "");
        EXPECT_EQ(contents->iconLocation, "");
        EXPECT_EQ(contents->showCommand, SW_SHOWNORMAL);

        std::optional<std::uint32_t> flags = wt::ReadShortcutFlags(link);
        ASSERT_TRUE(flags.has_value());
        EXPECT_EQ(*flags & (wt::kLinkHasName | wt::kLinkHasWorkingDir | wt::kLinkHasArguments |
                            wt::kLinkHasIconLocation),
                  0u);
    }
}

TEST_F(ShellLinksTest, CreateShortcutWritesNoFileWhereItCannotOrMustNot) {
    const std::string longName(300, 'n');
    struct Case {
        const char* what;
        std::string target;
        std::string link;
        int expected;
    };
    const Case cases[] = {
        // The save fails unnoticed: the object and its file interface were had.
        {"missing folder", "C:\\Prog\\player.exe", folder_ + "\\missing\\player.lnk", 1},
        // Never cut into a shorter path, never saved with a target cut short.
        {"link path too long", "C:\\Prog\\player.exe", folder_ + "\\" + longName + ".lnk", 0},
        {"target too long", "C:\\" + longName + "\\player.exe", folder_ + "\\player.lnk", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CreateShortcut(c.target.c_str(), c.link.c_str()), c.expected);
        EXPECT_TRUE(wt::FolderEntries(folder_).empty());
    }
}

TEST_F(ShellLinksTest, ResolveShortcutDirectoryGivesTheTargetsDirectory) {
    enum class Kind { kShell, kRaw, kComputerFolder, kNotALink, kMissing };
    struct Case {
        const char* what;
        Kind kind;
        std::string target;
        int expected;
        std::string directory;
    };
    const Case cases[] = {
        {"nested target", Kind::kShell, "C:\\Prog\\Player\\player.exe", 1, "C:\\Prog\\Player"},
        {"drive root", Kind::kShell, "C:\\player.exe", 1, "C:"},
        {"double-byte names", Kind::kShell, "D:\\澜舟雅韵\\Quenvox.exe", 1, "D:\\澜舟雅韵"},
        {"forward slashes", Kind::kRaw, "C:/Prog/Player/player.exe", 1, "C:/Prog/Player"},
        {"no separator", Kind::kRaw, "player.exe", 1, "player.exe"},
        {"no file-system path", Kind::kComputerFolder, "", 1, ""},
        {"not a shortcut", Kind::kNotALink, "", 0, ""},
        {"missing link", Kind::kMissing, "", 0, ""},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string link = folder_ + "\\case" + std::to_string(++index) + ".lnk";
        switch (c.kind) {
            case Kind::kShell:
                ASSERT_TRUE(wt::WriteShortcut(link, c.target));
                break;
            case Kind::kRaw:
                ASSERT_TRUE(wt::WriteRawShortcut(link, c.target));
                ASSERT_EQ(wt::ReadShortcut(link).value_or(wt::ShortcutContents{}).target, c.target);
                break;
            case Kind::kComputerFolder:
                ASSERT_TRUE(wt::WriteShortcutToComputerFolder(link));
                break;
            case Kind::kNotALink:
                ASSERT_TRUE(
                    wt::WriteFileBytes(link, {'n', 'o', 't', ' ', 'a', ' ', 'l', 'i', 'n', 'k'}));
                break;
            case Kind::kMissing:
                break;
        }
        std::array<char, MAX_PATH> out;
        out.fill('\x7F');
        const int result = ResolveShortcutDirectory(nullptr, link.c_str(), out.data());
        EXPECT_EQ(result, c.expected);
        if (c.expected == 1) {
            EXPECT_EQ(std::string(out.data()), c.directory);
        } else {
            EXPECT_EQ(out.front(), '\x7F') << "output written on failure";
            EXPECT_EQ(std::count(out.begin(), out.end(), '\x7F'), MAX_PATH);
        }
    }
}

// Runs `operation` on a new thread, with or without COM initialised there first, and tells
// whether the thread's COM state afterwards is the one it had before.
bool KeepsComState(bool initialiseFirst, const std::function<int()>& operation, int& result) {
    bool kept = false;
    std::thread thread([&] {
        HRESULT before = initialiseFirst ? CoInitialize(nullptr) : S_FALSE;
        if (initialiseFirst && before != S_OK) return;
        result = operation();
        // A thread still in COM answers S_FALSE; one without COM enters it now (S_OK).
        HRESULT after = CoInitialize(nullptr);
        kept = initialiseFirst ? after == S_FALSE : after == S_OK;
        if (SUCCEEDED(after)) CoUninitialize();
        if (initialiseFirst) CoUninitialize();
    });
    thread.join();
    return kept;
}

TEST_F(ShellLinksTest, ShortcutOperationsLeaveTheThreadsComStateAsFound) {
    const std::string link = folder_ + "\\com.lnk";
    const std::string target = "C:\\Prog\\Player\\player.exe";
    for (bool initialiseFirst : {true, false}) {
        SCOPED_TRACE(initialiseFirst ? "COM initialised before" : "no COM before");
        DeleteFileA(link.c_str());
        int created = -1;
        EXPECT_TRUE(KeepsComState(
            initialiseFirst, [&] { return CreateShortcut(target.c_str(), link.c_str()); },
            created));
        EXPECT_EQ(created, 1);
        EXPECT_TRUE(wt::FileExistsAt(link));

        std::array<char, MAX_PATH> directory{};
        int resolved = -1;
        EXPECT_TRUE(KeepsComState(
            initialiseFirst,
            [&] { return ResolveShortcutDirectory(nullptr, link.c_str(), directory.data()); },
            resolved));
        EXPECT_EQ(resolved, 1);
        EXPECT_EQ(std::string(directory.data()), "C:\\Prog\\Player");
    }
}

TEST(GetShellFolderPath, GivesTheCurrentUsersFolders) {
    std::array<char, MAX_PATH> path{};
    ASSERT_TRUE(GetShellFolderPath(CSIDL_DESKTOP, path.data()));
    EXPECT_EQ(std::string(path.data()), wt::DesktopFolder());
    path.fill(0);
    ASSERT_TRUE(GetShellFolderPath(CSIDL_PROGRAMS, path.data()));
    EXPECT_EQ(std::string(path.data()), wt::ProgramsFolder());
}

// The shell's allocator, counted: references held and item lists freed.
class CountingAllocator : public IMalloc {
  public:
    explicit CountingAllocator(Microsoft::WRL::ComPtr<IMalloc> real) : real_(std::move(real)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IMalloc) {
            *out = static_cast<IMalloc*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    void* STDMETHODCALLTYPE Alloc(SIZE_T size) override { return real_->Alloc(size); }
    void* STDMETHODCALLTYPE Realloc(void* memory, SIZE_T size) override {
        return real_->Realloc(memory, size);
    }
    void STDMETHODCALLTYPE Free(void* memory) override {
        ++frees_;
        real_->Free(memory);
    }
    SIZE_T STDMETHODCALLTYPE GetSize(void* memory) override { return real_->GetSize(memory); }
    int STDMETHODCALLTYPE DidAlloc(void* memory) override { return real_->DidAlloc(memory); }
    void STDMETHODCALLTYPE HeapMinimize() override { real_->HeapMinimize(); }

    ULONG references() const { return references_; }
    int frees() const { return frees_; }

  private:
    Microsoft::WRL::ComPtr<IMalloc> real_;
    ULONG references_ = 0;
    int frees_ = 0;
};

CountingAllocator* g_allocator = nullptr;

HRESULT WINAPI CountingGetMalloc(IMalloc** out) {
    *out = g_allocator;
    g_allocator->AddRef();
    return S_OK;
}
HRESULT WINAPI FailingFolderLocation(HWND, int, LPITEMIDLIST* out) {
    *out = nullptr;
    return E_FAIL;
}
BOOL WINAPI FailingPathFromList(LPCITEMIDLIST, LPSTR) {
    return FALSE;
}

TEST(GetShellFolderPath, ReleasesTheAllocatorAndFreesTheItemListOnEveryPath) {
    Microsoft::WRL::ComPtr<IMalloc> real;
    ASSERT_TRUE(SUCCEEDED(CoGetMalloc(1, &real)));
    struct Case {
        const char* what;
        bool locationFails;
        bool conversionFails;
        bool expected;
        int expectedFrees;
    };
    const Case cases[] = {
        {"path found", false, false, true, 1},
        {"no file-system path", false, true, false, 1},
        {"no item list", true, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CountingAllocator allocator(real);
        g_allocator = &allocator;
        wt::ImportHook getMalloc("shell32.dll", "SHGetMalloc",
                                 reinterpret_cast<void*>(&CountingGetMalloc));
        ASSERT_TRUE(getMalloc.Installed());
        std::optional<wt::ImportHook> location;
        if (c.locationFails) {
            location.emplace("shell32.dll", "SHGetSpecialFolderLocation",
                             reinterpret_cast<void*>(&FailingFolderLocation));
            ASSERT_TRUE(location->Installed());
        }
        std::optional<wt::ImportHook> conversion;
        if (c.conversionFails) {
            conversion.emplace("shell32.dll", "SHGetPathFromIDListA",
                               reinterpret_cast<void*>(&FailingPathFromList));
            ASSERT_TRUE(conversion->Installed());
        }
        std::array<char, MAX_PATH> path{};
        EXPECT_EQ(GetShellFolderPath(CSIDL_DESKTOP, path.data()), c.expected);
        EXPECT_EQ(allocator.references(), 0u);
        EXPECT_EQ(allocator.frees(), c.expectedFrees);
        g_allocator = nullptr;
    }
}

}  // namespace
