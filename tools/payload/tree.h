// Walking the folder that becomes a payload.
#pragma once

#include "payload/files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace payload_tool {

struct TreeFile {
    std::vector<std::string> folders;  // levels below the root, UTF-8
    std::string name;                  // UTF-8
    std::uint64_t size = 0;
    fs::path path;
};

struct Tree {
    std::vector<TreeFile> files;            // in the order met; callers sort
    std::vector<std::string> emptyFolders;  // relative, UTF-8, '/'-separated
};

// Every regular file below `root`. Refuses (false, with `error` naming the path) a symbolic link
// or other reparse point, a special file (device, pipe, socket) and anything it cannot read.
bool ScanTree(const fs::path& root, Tree& tree, std::string& error);

}  // namespace payload_tool
