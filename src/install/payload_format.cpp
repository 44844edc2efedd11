#include "install/payload_format.h"

std::string FormDirectoryPath(std::string_view installDir, std::string_view directoryName) {
    std::string path;
    path.reserve(installDir.size() + directoryName.size());
    path.append(installDir);
    path.append(directoryName);
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

std::string FormOutputPath(std::string_view directoryPath, std::string_view fileName) {
    std::string path;
    path.reserve(directoryPath.size() + 1 + fileName.size());
    path.append(directoryPath);
    path.push_back('\\');
    path.append(fileName);
    return path;
}

namespace {

bool IsParentComponent(std::string_view component) {
    int dots = 0;
    for (char c : component) {
        if (c == '.') {
            ++dots;
        } else if (c != ' ') {
            return false;
        }
    }
    return dots >= 2;
}

}  // namespace

bool HasParentReference(std::string_view name) {
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        if (IsParentComponent(name.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

int ProgressPosition(std::int64_t index, std::int64_t count) {
    if (count <= 0) return 0;
    return static_cast<int>(100 * (index + 1) / count);
}
