// Helpers shared by the tests that run under Wine: scratch folders, file bytes, and answering the
// message boxes that the code under test raises.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wt {

// A new, empty folder below C:\tests (ANSI path, no trailing separator), named after `tag`.
std::string MakeScratchDirectory(const std::string& tag);

std::vector<unsigned char> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);
bool DirectoryExists(const std::string& path);
bool FileExistsAt(const std::string& path);

// Directory of the running test program, with a trailing backslash.
std::string ProgramDirectory();

// A message box seen by MessageBoxAnswerer.
struct SeenMessageBox {
    std::string caption;
    std::string text;
    UINT icon;  // MB_ICONEXCLAMATION, MB_ICONQUESTION, ... as read from the box, 0 if unknown
};

// Watches this process's top-level windows of class #32770 that hold a message box text
// (static control 0xFFFF), records caption and text, and presses `button` (IDOK, IDYES, IDNO).
class MessageBoxAnswerer {
  public:
    explicit MessageBoxAnswerer(int button = IDOK);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    std::vector<SeenMessageBox> Seen() const;
    void SetButton(int button) { button_ = button; }

  private:
    void Watch();

    std::atomic<int> button_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<SeenMessageBox> seen_;
    std::vector<HWND> answered_;
    std::thread thread_;
};

}  // namespace wt
