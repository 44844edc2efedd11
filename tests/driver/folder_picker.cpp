#include "folder_picker.h"

#include "dialog_driver.h"
#include "system/win_resource.h"

#include <commctrl.h>

#include <array>
#include <functional>
#include <vector>

namespace dd {

namespace {

class RemoteTree {
  public:
    RemoteTree(HWND tree, DWORD processId)
        : tree_(tree),
          process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               processId)) {
        if (process_) {
            buffer_ = VirtualAllocEx(process_.get(), nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
        }
    }
    ~RemoteTree() {
        if (buffer_ != nullptr) VirtualFreeEx(process_.get(), buffer_, 0, MEM_RELEASE);
    }
    RemoteTree(const RemoteTree&) = delete;
    RemoteTree& operator=(const RemoteTree&) = delete;

    bool Usable() const { return buffer_ != nullptr; }

    std::string ItemText(HTREEITEM item) {
        auto* remoteText = static_cast<char*>(buffer_) + sizeof(TVITEMA);
        TVITEMA request{};
        request.mask = TVIF_TEXT | TVIF_HANDLE;
        request.hItem = item;
        request.pszText = remoteText;
        request.cchTextMax = MAX_PATH;
        SIZE_T done = 0;
        if (!WriteProcessMemory(process_.get(), buffer_, &request, sizeof request, &done)) {
            return {};
        }
        if (!SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(buffer_))) return {};
        std::array<char, MAX_PATH + 1> text{};
        if (!ReadProcessMemory(process_.get(), remoteText, text.data(), MAX_PATH, &done)) return {};
        return text.data();
    }

    HTREEITEM Next(HTREEITEM item, UINT relation) {
        return reinterpret_cast<HTREEITEM>(
            SendMessageA(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    }

    // The first child of `parent` whose text `accept` takes, after expanding `parent` (the picker
    // fills a level when it is expanded); null when none. Each text read is added to `seen`.
    HTREEITEM FindChild(HTREEITEM parent, const std::function<bool(const std::string&)>& accept) {
        SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
        for (HTREEITEM child = Next(parent, TVGN_CHILD); child != nullptr;
             child = Next(child, TVGN_NEXT)) {
            std::string text = ItemText(child);
            seen.push_back(text);
            if (accept(text)) return child;
        }
        return nullptr;
    }

    // A drive: the desktop, then the computer folder below it, then the drive, as a person would
    // open them. Only those two levels are expanded (the desktop also holds the whole file system).
    HTREEITEM FindDrive(const std::string& drive) {
        HTREEITEM desktop = Next(nullptr, TVGN_ROOT);
        if (desktop == nullptr) return nullptr;
        HTREEITEM computer = FindChild(desktop, [](const std::string& text) {
            for (const char* name :
                 {"我的电脑", "计算机", "此电脑", "My Computer", "Computer", "This PC"}) {
                if (text == name) return true;
            }
            return false;
        });
        if (computer == nullptr) return nullptr;
        const std::string wanted = "(" + drive + ")";
        return FindChild(computer, [&](const std::string& text) {
            return text.find(wanted) != std::string::npos;
        });
    }

    std::vector<std::string> seen;

  private:
    HWND tree_;
    UniqueHandle process_;
    void* buffer_ = nullptr;
};

}  // namespace

HWND WaitForFolderPicker(DWORD processId, HWND except, DWORD milliseconds) {
    return WaitForTopLevel(
        processId,
        [&](HWND window) {
            return window != except &&
                   FindWindowExA(window, nullptr, WC_TREEVIEWA, nullptr) != nullptr;
        },
        milliseconds);
}

bool SelectDrive(HWND picker, DWORD processId, const std::string& drive, DWORD milliseconds,
                 std::vector<std::string>* seen) {
    if (seen != nullptr) seen->clear();
    HWND treeWindow = FindWindowExA(picker, nullptr, WC_TREEVIEWA, nullptr);
    if (treeWindow == nullptr) return false;
    RemoteTree tree(treeWindow, processId);
    if (!tree.Usable()) return false;
    HTREEITEM item = nullptr;
    // The picker fills its tree after it shows.
    bool found = WaitUntil(
        [&] {
            tree.seen.clear();
            return (item = tree.FindDrive(drive)) != nullptr;
        },
        milliseconds);
    if (!found) {
        if (seen != nullptr) *seen = tree.seen;
        return false;
    }
    SendMessageA(treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    return true;
}

bool PickDrive(HWND picker, DWORD processId, const std::string& drive, DWORD milliseconds) {
    if (!SelectDrive(picker, processId, drive, milliseconds)) return false;
    Answer(picker, IDOK);
    return true;
}

}  // namespace dd
