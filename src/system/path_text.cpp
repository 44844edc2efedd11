#include "system/path_text.h"

std::string_view DirectoryOf(std::string_view path) {
    std::size_t cut = path.rfind('\\');
    if (cut == std::string_view::npos) cut = path.rfind('/');
    if (cut == std::string_view::npos) return path;
    return path.substr(0, cut);
}
