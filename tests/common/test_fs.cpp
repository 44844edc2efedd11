#include "test_fs.h"

#include "system/file_api.h"
#include "system/path_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tfs {

namespace {

std::string Native(const std::string& path) {
#ifdef _WIN32
    return path;
#else
    return WithForwardSlashes(path);
#endif
}

}  // namespace

std::string MakeScratchDirectory(const std::string& tag) {
#ifdef _WIN32
    CreateDirectoryA("C:\\tests", nullptr);
    static int counter = 0;
    for (;;) {
        std::string path = "C:\\tests\\" + tag + "_" + std::to_string(GetCurrentProcessId()) + "_" +
                           std::to_string(++counter);
        if (CreateDirectoryA(path.c_str(), nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
#else
    std::string pattern = "/tmp/setup-" + tag + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    return mkdtemp(buffer.data()) != nullptr ? std::string(buffer.data()) : std::string();
#endif
}

std::string Join(const std::string& directory, const std::string& name) {
    return directory + "\\" + name;
}

bool IsDirectory(const std::string& path) {
#ifdef _WIN32
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
    struct stat info {};
    return stat(Native(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
#endif
}

bool IsFile(const std::string& path) {
#ifdef _WIN32
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
#else
    struct stat info {};
    return stat(Native(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
#endif
}

bool MakeDirectory(const std::string& path) {
#ifdef _WIN32
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
#else
    return mkdir(Native(path).c_str(), 0777) == 0;
#endif
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    UniqueFile file(std::fopen(Native(path).c_str(), "rb"));
    if (!file) return bytes;
    std::array<unsigned char, 65536> chunk{};
    std::size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0) {
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    }
    return bytes;
}

bool WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    UniqueFile file(std::fopen(Native(path).c_str(), "wb"));
    if (!file) return false;
    bool ok =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    return file.Close() && ok;
}

bool WriteText(const std::string& path, const std::string& text) {
    return WriteBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

bool MakeReadOnly(const std::string& path) {
#ifdef _WIN32
    if (!SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY)) return false;
#else
    if (chmod(Native(path).c_str(), 0444) != 0) return false;
#endif
    // root (also under Wine, which maps the attribute to permissions) writes all the same.
    return !UniqueFile(std::fopen(Native(path).c_str(), "ab"));
}

void RemoveScratch([[maybe_unused]] const std::string& path) {
#ifndef _WIN32
    std::error_code ignored;
    std::filesystem::permissions(Native(path), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(Native(path), ignored);
#endif
}

std::vector<std::string> List(const std::string& directory) {
    std::vector<std::string> names;
#ifdef _WIN32
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
#else
    DIR* dir = opendir(Native(directory).c_str());
    if (dir == nullptr) return names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
#endif
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

void CollectTree(const std::string& folder, const std::string& prefix,
                 std::string_view skippedSuffix, std::map<std::string, std::string>& files) {
    for (const std::string& name : List(folder)) {
        if (!skippedSuffix.empty() && name.ends_with(skippedSuffix)) continue;
        std::string path = Join(folder, name);
        if (IsDirectory(path)) {
            CollectTree(path, prefix + name + "\\", skippedSuffix, files);
        } else {
            std::vector<unsigned char> bytes = ReadBytes(path);
            files[prefix + name] = std::string(bytes.begin(), bytes.end());
        }
    }
}

}  // namespace

std::map<std::string, std::string> Tree(const std::string& folder, std::string_view skippedSuffix) {
    std::map<std::string, std::string> files;
    CollectTree(folder, "", skippedSuffix, files);
    return files;
}

}  // namespace tfs
