#include "system/path_helpers.h"

#include "system/file_api.h"
#include "system/path_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

int FileExists(const char* path) {
    return fsapi::PathExists(path) ? 1 : 0;
}

int CreateDirectoryChain(const std::string& path) {
    std::string s = path;
    if (s.empty() || s.back() != '\\') s.push_back('\\');
    std::size_t pos = 0;
    for (;;) {
        std::size_t idx = s.find('\\', pos);
        if (idx == std::string::npos) return 0;
        // A separator at index 2 follows a drive letter and colon: test the root "D:\", not "D:".
        if (idx == 2) idx = 3;
        std::string prefix = s.substr(0, idx);
        if (!fsapi::PathExists(prefix.c_str()) && !fsapi::CreateOneDirectory(prefix.c_str())) {
            return -1;
        }
        if (idx + 1 >= s.size()) return 0;
        pos = idx + 1;
    }
}

std::string GetExecutablePath() {
    // Room for the longest path at once: the system cuts a path that does not fit, and when the
    // cut falls inside a double-byte character it reports a shorter, complete-looking path.
    std::string path(kLongestPath, '\0');
#ifdef _WIN32
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
#else
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0) return {};
#endif
    if (static_cast<std::size_t>(length) >= path.size()) return {};
    path.resize(static_cast<std::size_t>(length));
    return path;
}

const char* GetModuleDirectory() {
    // Initialised once even when threads race to the first call.
    static const std::string directory = [] {
        const std::string path = GetExecutablePath();
        if (path.empty() || path.size() >= kPathBufferSize) return std::string();
        std::string directory(DirectoryOf(path));
        directory.push_back('\\');
        return directory;
    }();
    return directory.c_str();
}
