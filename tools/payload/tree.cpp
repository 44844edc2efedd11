#include "payload/tree.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace payload_tool {

namespace {

std::string Describe(const std::error_code& error) {
    return error.message();
}

#ifdef _WIN32
// Junctions and other reparse points are links as far as packing goes.
bool IsReparsePoint(const fs::path& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
#endif

bool ScanFolder(const fs::path& folder, std::vector<std::string>& levels, Tree& tree,
                std::string& error) {
    std::error_code code;
    fs::directory_iterator it(folder, code);
    if (code) {
        error = PathToUtf8(folder) + ": cannot read the folder: " + Describe(code);
        return false;
    }
    bool empty = true;
    for (; it != fs::directory_iterator(); it.increment(code)) {
        const fs::path& path = it->path();
        fs::file_status status = it->symlink_status(code);
        if (code) break;
        empty = false;
        bool link = fs::is_symlink(status);
#ifdef _WIN32
        link = link || IsReparsePoint(path);
#endif
        if (link) {
            error = PathToUtf8(path) + ": is a symbolic link; pack the files it points to instead";
            return false;
        }
        std::string name = PathToUtf8(path.filename());
        if (fs::is_directory(status)) {
            levels.push_back(name);
            if (!ScanFolder(path, levels, tree, error)) return false;
            levels.pop_back();
        } else if (fs::is_regular_file(status)) {
            std::uintmax_t size = fs::file_size(path, code);
            if (code) {
                error = PathToUtf8(path) + ": cannot read its size: " + Describe(code);
                return false;
            }
            tree.files.push_back(TreeFile{levels, name, static_cast<std::uint64_t>(size), path});
        } else {
            error = PathToUtf8(path) + ": is not a regular file (a device, pipe or socket)";
            return false;
        }
    }
    if (code) {
        error = PathToUtf8(folder) + ": cannot read the folder: " + Describe(code);
        return false;
    }
    if (empty && !levels.empty()) {
        std::string relative;
        for (const std::string& level : levels) relative += (relative.empty() ? "" : "/") + level;
        tree.emptyFolders.push_back(relative);
    }
    return true;
}

}  // namespace

bool ScanTree(const fs::path& root, Tree& tree, std::string& error) {
    std::error_code code;
    fs::file_status status = fs::status(root, code);
    if (code || !fs::is_directory(status)) {
        error = PathToUtf8(root) + ": " + (code ? Describe(code) : "not a folder");
        return false;
    }
    std::vector<std::string> levels;
    return ScanFolder(root, levels, tree, error);
}

}  // namespace payload_tool
