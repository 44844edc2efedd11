#include "system/file_api.h"

#include "system/path_text.h"

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

#include <algorithm>

namespace fsapi {

#ifdef _WIN32

bool PathExists(const char* path) {
    return _access(path, 0) != -1;
}

bool CreateOneDirectory(const char* path) {
    return CreateDirectoryA(path, nullptr) != 0;
}

UniqueFile OpenFile(const char* path, const char* mode) {
    return UniqueFile(std::fopen(path, mode));
}

bool SeekTo(std::FILE* file, std::int64_t offset) {
    return _fseeki64(file, offset, SEEK_SET) == 0;
}

std::int64_t FileSize(std::FILE* file) {
    std::int64_t length = _filelengthi64(_fileno(file));
    return length < 0 ? -1 : length;
}

std::optional<std::size_t> FlushFilesToDisk(const std::vector<std::string>& paths) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
        HANDLE file = CreateFileA(paths[i].c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return i;
        bool flushed = FlushFileBuffers(file) != 0;
        CloseHandle(file);
        if (!flushed) return i;
    }
    return std::nullopt;
}

bool MoveFileOver(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool IsReplaceable(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool RemoveFile(const char* path) {
    return DeleteFileA(path) != 0;
}

std::vector<std::string> FileNamesIn(const char* directory) {
    std::vector<std::string> names;
    std::string pattern = std::string(directory) + "\\*";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

namespace {

std::optional<std::uint64_t> FreeBytesOf(const std::string& directory) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExA(directory.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

}  // namespace

#else

// The installer's paths use backslashes; on POSIX they become slashes (WithForwardSlashes).

bool PathExists(const char* path) {
    return *path != '\0' && access(WithForwardSlashes(path).c_str(), F_OK) == 0;
}

bool CreateOneDirectory(const char* path) {
    return *path != '\0' && mkdir(WithForwardSlashes(path).c_str(), 0777) == 0;
}

UniqueFile OpenFile(const char* path, const char* mode) {
    std::string native = WithForwardSlashes(path);
    // fopen on Windows cannot open a directory or a name ending in a separator for writing.
    if (native.empty() || native.back() == '/') return UniqueFile();
    struct stat info {};
    if (stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return UniqueFile();
    return UniqueFile(std::fopen(native.c_str(), mode));
}

bool SeekTo(std::FILE* file, std::int64_t offset) {
    return fseeko(file, offset, SEEK_SET) == 0;
}

std::int64_t FileSize(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0) return -1;
    return info.st_size;
}

std::optional<std::size_t> FlushFilesToDisk(const std::vector<std::string>& paths) {
    std::vector<dev_t> synced;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::string native = WithForwardSlashes(paths[i]);
        struct stat info {};
        if (stat(native.c_str(), &info) != 0) return i;
        if (std::find(synced.begin(), synced.end(), info.st_dev) != synced.end()) continue;
        int descriptor = open(native.c_str(), O_RDONLY);
        if (descriptor < 0) return i;
        bool flushed = syncfs(descriptor) == 0;
        close(descriptor);
        if (!flushed) return i;
        synced.push_back(info.st_dev);
    }
    return std::nullopt;
}

bool MoveFileOver(const char* from, const char* to) {
    std::string target = WithForwardSlashes(to);
    struct stat info {};
    if (stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;
    return std::rename(WithForwardSlashes(from).c_str(), target.c_str()) == 0;
}

bool IsReplaceable(const char* path) {
    struct stat info {};
    if (stat(WithForwardSlashes(path).c_str(), &info) != 0) return true;
    return !S_ISDIR(info.st_mode);
}

bool RemoveFile(const char* path) {
    return unlink(WithForwardSlashes(path).c_str()) == 0;
}

std::vector<std::string> FileNamesIn(const char* directory) {
    std::vector<std::string> names;
    std::string native = WithForwardSlashes(directory);
    DIR* listing = opendir(native.c_str());
    if (listing == nullptr) return names;
    while (const dirent* entry = readdir(listing)) {
        struct stat info {};
        std::string path = native + "/" + entry->d_name;
        if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            names.emplace_back(entry->d_name);
    }
    closedir(listing);
    return names;
}

namespace {

std::optional<std::uint64_t> FreeBytesOf(const std::string& directory) {
    struct statvfs info {};
    if (statvfs(WithForwardSlashes(directory).c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

}  // namespace

#endif

std::optional<std::uint64_t> FreeBytesAvailable(const char* path) {
    std::string existing = path;
    while (!existing.empty() && !PathExists(existing.c_str())) {
        std::size_t cut = existing.find_last_of("\\/");
        if (cut == std::string::npos) return std::nullopt;
        // "D:" alone would name the drive's current folder; its root is meant.
        std::size_t keep = cut == 2 && existing[1] == ':' ? cut + 1 : cut;
        if (keep >= existing.size()) return std::nullopt;
        existing.erase(keep);
    }
    if (existing.empty()) return std::nullopt;
    return FreeBytesOf(existing);
}

}  // namespace fsapi
