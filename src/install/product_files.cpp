#include "install/product_files.h"

#include "system/path_text.h"

std::string_view ProductFileTail(ProductFile file) {
    return kProductFileTails[static_cast<std::size_t>(file)];
}

std::optional<std::string> ProductFilePath(std::string_view installDir, ProductFile file) {
    return JoinPath(installDir, ProductFileTail(file));
}
