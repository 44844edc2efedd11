#include "system/path_helpers.h"

#include "system/file_api.h"

#include <array>
#include <cstring>

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

namespace {

constexpr std::size_t kModulePathSize = 260;
std::array<char, kModulePathSize> g_moduleDirectory{};
bool g_moduleDirectoryKnown = false;

// Full path of the running executable into `buffer`; false when it cannot be had or is cut.
bool QueryExecutablePath(std::array<char, kModulePathSize>& buffer) {
#ifdef _WIN32
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return length > 0 && length < buffer.size();
#else
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return false;
    buffer[static_cast<std::size_t>(length)] = '\0';
    return true;
#endif
}

}  // namespace

const char* GetModuleDirectory() {
    if (g_moduleDirectoryKnown) return g_moduleDirectory.data();
    g_moduleDirectoryKnown = true;
    std::array<char, kModulePathSize> path{};
    if (!QueryExecutablePath(path)) return g_moduleDirectory.data();
    char* cut = std::strrchr(path.data(), '\\');
    if (cut == nullptr) cut = std::strrchr(path.data(), '/');
    if (cut != nullptr) *cut = '\0';
    std::size_t length = std::strlen(path.data());
    // The directory and its backslash must fit with the terminator; the executable's own name
    // was at least one byte, so this holds whenever the query succeeded.
    if (length + 2 > g_moduleDirectory.size()) return g_moduleDirectory.data();
    std::memcpy(g_moduleDirectory.data(), path.data(), length);
    g_moduleDirectory[length] = '\\';
    g_moduleDirectory[length + 1] = '\0';
    return g_moduleDirectory.data();
}
