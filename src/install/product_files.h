// The paths of the product's program files in an installation directory.
#pragma once

#include "install/product_constants.h"

#include <optional>
#include <string>
#include <string_view>

// File name of each program below the installation directory, with its leading backslash.
std::string_view ProductFileTail(ProductFile file);

// The program's full path in `installDir` (no trailing separator); nullopt when it does not fit.
std::optional<std::string> ProductFilePath(std::string_view installDir, ProductFile file);
