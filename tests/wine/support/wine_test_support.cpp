#include "wine_test_support.h"

#include "dialog_driver.h"
#include "test_fs.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>

namespace wt {

// The portable test helpers do the work; these names stay for the Windows tests.
std::string MakeScratchDirectory(const std::string& tag) {
    return tfs::MakeScratchDirectory(tag);
}
std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    return tfs::ReadBytes(path);
}
bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    return tfs::WriteBytes(path, bytes);
}
bool DirectoryExists(const std::string& path) {
    return tfs::IsDirectory(path);
}
bool FileExistsAt(const std::string& path) {
    return tfs::IsFile(path);
}

std::string ProgramDirectory() {
    std::array<char, MAX_PATH> path{};
    GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::string directory(path.data());
    return directory.substr(0, directory.find_last_of('\\') + 1);
}

MessageBoxAnswerer::MessageBoxAnswerer(int button)
    : button_(button), thread_([this] { Watch(); }) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenMessageBox> MessageBoxAnswerer::Seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

namespace {

std::string WindowText(HWND window) {
    std::array<char, 1024> text{};
    GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

UINT IconOf(HWND box) {
    // The icon static of a message box shows one of the system icons; its id is 0x14 on Windows
    // and 0x440 on Wine.
    HWND icon = GetDlgItem(box, 0x14);
    if (icon == nullptr) icon = GetDlgItem(box, 0x440);
    if (icon == nullptr) return 0;
    HICON shown = reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0));
    struct Known {
        LPCSTR id;
        UINT flag;
    };
    const Known known[] = {{IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                           {IDI_QUESTION, MB_ICONQUESTION},
                           {IDI_HAND, MB_ICONHAND},
                           {IDI_ASTERISK, MB_ICONASTERISK}};
    for (const Known& k : known) {
        if (LoadIconA(nullptr, k.id) == shown) return k.flag;
    }
    return 0;
}

}  // namespace

void MessageBoxAnswerer::Watch() {
    while (!stop_) {
        for (HWND box : dd::TopLevelWindows(GetCurrentProcessId())) {
            if (!dd::IsDialogWindow(box) || GetDlgItem(box, 0xFFFF) == nullptr) continue;
            {
                std::lock_guard lock(mutex_);
                if (std::find(answered_.begin(), answered_.end(), box) != answered_.end()) continue;
                answered_.push_back(box);
                seen_.push_back(
                    {WindowText(box), WindowText(GetDlgItem(box, 0xFFFF)), IconOf(box)});
            }
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(button_.load(), BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, button_.load())));
        }
        Sleep(20);
    }
}

}  // namespace wt
