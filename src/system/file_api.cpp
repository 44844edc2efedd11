#include "system/file_api.h"

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#endif

namespace fsapi {

#ifdef _WIN32

bool PathExists(const char* path) {
    return _access(path, 0) != -1;
}

bool CreateOneDirectory(const char* path) {
    return CreateDirectoryA(path, nullptr) != 0;
}

std::FILE* OpenFile(const char* path, const char* mode) {
    return std::fopen(path, mode);
}

bool SeekTo(std::FILE* file, std::int64_t offset) {
    return _fseeki64(file, offset, SEEK_SET) == 0;
}

std::int64_t FileSize(std::FILE* file) {
    std::int64_t length = _filelengthi64(_fileno(file));
    return length < 0 ? -1 : length;
}

#else

namespace {

// The installer's paths use backslashes; on POSIX they become slashes.
std::string Native(const char* path) {
    std::string native(path);
    for (char& c : native) {
        if (c == '\\') c = '/';
    }
    return native;
}

}  // namespace

bool PathExists(const char* path) {
    return *path != '\0' && access(Native(path).c_str(), F_OK) == 0;
}

bool CreateOneDirectory(const char* path) {
    return *path != '\0' && mkdir(Native(path).c_str(), 0777) == 0;
}

std::FILE* OpenFile(const char* path, const char* mode) {
    std::string native = Native(path);
    // fopen on Windows cannot open a directory or a name ending in a separator for writing.
    if (native.empty() || native.back() == '/') return nullptr;
    struct stat info {};
    if (stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return nullptr;
    return std::fopen(native.c_str(), mode);
}

bool SeekTo(std::FILE* file, std::int64_t offset) {
    return fseeko(file, offset, SEEK_SET) == 0;
}

std::int64_t FileSize(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0) return -1;
    return info.st_size;
}

#endif

}  // namespace fsapi
