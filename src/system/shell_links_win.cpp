#include "system/shell_links.h"

#include "system/ansi_text_win.h"
#include "system/path_text.h"
#include "system/win_resource.h"

#include <shlobj.h>
#include <wrl/client.h>

#include <array>
#include <cstring>
#include <string_view>

using Microsoft::WRL::ComPtr;

namespace {

// An item-identifier list handed out by the shell, freed through the shell's allocator.
class ShellItemList {
  public:
    explicit ShellItemList(ComPtr<IMalloc> allocator) : allocator_(std::move(allocator)) {}
    ShellItemList(const ShellItemList&) = delete;
    ShellItemList& operator=(const ShellItemList&) = delete;
    ~ShellItemList() {
        if (list_ != nullptr) allocator_->Free(list_);
    }
    LPITEMIDLIST get() const { return list_; }
    LPITEMIDLIST* put() { return &list_; }

  private:
    ComPtr<IMalloc> allocator_;
    LPITEMIDLIST list_ = nullptr;
};

// True when `text` ends inside a kPathBufferSize buffer, so it can be handed on whole.
bool FitsPathBuffer(const char* text) {
    return text != nullptr && ::strnlen(text, kPathBufferSize) < kPathBufferSize;
}

}  // namespace

int CreateShortcut(const char* target, const char* linkPath) {
    WidePathBuffer widePath;
    if (!FitsPathBuffer(target) || !AnsiPathToWide(linkPath, widePath)) return 0;

    ScopedComInitialize com;
    if (!com.Succeeded()) return 0;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                &link))) {
        return 0;
    }
    link->SetPath(target);
    link->SetHotkey(kShortcutHotkey);
    ComPtr<IPersistFile> file;
    if (FAILED(link.As(&file))) return 0;
    // A failed save (a missing folder, no rights) is not reported.
    file->Save(widePath.data(), TRUE);
    return 1;
}

int ResolveShortcutDirectory(HWND ownerWindow, const char* linkPath, char* outDirectory,
                             bool allowShellUi) {
    // A thread left without COM shows up as a failure to create the link object.
    ScopedComInitialize com;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                &link))) {
        return 0;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link.As(&file))) return 0;
    WidePathBuffer widePath;
    if (!AnsiPathToWide(linkPath, widePath)) return 0;
    if (FAILED(file->Load(widePath.data(), STGM_READ))) return 0;
    if (FAILED(link->Resolve(ownerWindow, allowShellUi ? 0 : SLR_NO_UI))) return 0;
    PathBuffer target{};
    WIN32_FIND_DATAA findData{};
    if (FAILED(link->GetPath(target.data(), kPathBufferSize, &findData, SLGP_UNCPRIORITY)))
        return 0;
    // Not used, but a link whose description cannot be read is not trusted either.
    PathBuffer description{};
    if (FAILED(link->GetDescription(description.data(), kPathBufferSize))) return 0;

    target.back() = '\0';
    std::string_view directory = DirectoryOf(target.data());
    std::memcpy(outDirectory, directory.data(), directory.size());
    outDirectory[directory.size()] = '\0';
    return 1;
}

bool ReadShortcutTarget(const char* linkPath, char* outTarget) {
    ScopedComInitialize com;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                &link))) {
        return false;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link.As(&file))) return false;
    WidePathBuffer widePath;
    if (!AnsiPathToWide(linkPath, widePath)) return false;
    if (FAILED(file->Load(widePath.data(), STGM_READ))) return false;
    PathBuffer target{};
    if (link->GetPath(target.data(), kPathBufferSize, nullptr, SLGP_RAWPATH) != S_OK) return false;
    target.back() = '\0';
    if (target[0] == '\0') return false;
    std::memcpy(outTarget, target.data(), std::strlen(target.data()) + 1);
    return true;
}

bool GetShellFolderPath(int csidl, char* outPath) {
    ComPtr<IMalloc> allocator;
    if (FAILED(SHGetMalloc(&allocator))) return false;
    ShellItemList items(allocator);
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, items.put()))) return false;
    PathBuffer path{};
    if (!SHGetPathFromIDListA(items.get(), path.data()) || !FitsPathBuffer(path.data())) {
        return false;
    }
    std::memcpy(outPath, path.data(), std::strlen(path.data()) + 1);
    return true;
}
