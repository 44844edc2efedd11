#include "system/self_removal.h"

#include "system/path_helpers.h"
#include "system/path_text.h"
#include "system/win_resource.h"

#include <windows.h>

#include <array>

namespace {

// A name prefix a person recognises in the temporary folder should a copy ever be left there.
constexpr char kCopyPrefix[] = "qvu";
// How long the copy keeps trying to delete the program's file after the program has ended.
constexpr int kDeleteAttempts = 50;
constexpr DWORD kDeletePause = 100;

}  // namespace

bool StartSelfRemoval() {
    const std::string self = GetExecutablePath();
    if (self.empty() || self.size() >= kPathBufferSize) return false;
    PathBuffer temp{};
    DWORD length = GetTempPathA(kPathBufferSize, temp.data());
    if (length == 0 || length >= kPathBufferSize) return false;
    // A new name of its own; the call creates the file.
    PathBuffer copy{};
    if (GetTempFileNameA(temp.data(), kCopyPrefix, 0, copy.data()) == 0) return false;
    if (!CopyFileA(self.c_str(), copy.data(), FALSE)) {
        DeleteFileA(copy.data());
        return false;
    }
    // Deleted when its last handle closes. The copy process inherits this handle and holds it until
    // it ends; the system starts a program from a file opened this way since its own open shares
    // deletion.
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    UniqueFileHandle removeOnClose(CreateFileA(copy.data(), DELETE,
                                               FILE_SHARE_READ | FILE_SHARE_DELETE, &inherited,
                                               OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!removeOnClose) {
        DeleteFileA(copy.data());
        return false;
    }
    // From here on, closing removeOnClose on a failure removes the copy.
    UniqueHandle ownProcess;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                         ownProcess.put(), SYNCHRONIZE, TRUE, 0)) {
        return false;
    }
    SelfRemovalRequest request;
    request.process = reinterpret_cast<std::uintptr_t>(ownProcess.get());
    request.path = self.data();
    std::string commandLine(1, '"');
    commandLine += copy.data();
    commandLine += "\" ";
    commandLine += SelfRemovalArguments(request);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // The copy runs in the temporary folder: a folder that is a program's current one cannot go.
    if (!CreateProcessA(copy.data(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        temp.data(), &startup, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

int RunSelfRemoval(const SelfRemovalRequest& request) {
    UniqueHandle process(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(request.process)));
    // The copy has nothing else to do; the program ends once its last message has been read.
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) return 1;
    bool deleted = false;
    for (int attempt = 0; attempt < kDeleteAttempts && !deleted; ++attempt) {
        deleted = DeleteFileA(request.path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
        if (!deleted) Sleep(kDeletePause);
    }
    if (!deleted) return 1;
    // Fails, as it should, while anything is left in the folder.
    const std::string folder(DirectoryOf(request.path));
    RemoveDirectoryA(folder.c_str());
    return 0;
}
