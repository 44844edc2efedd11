// Text operations on 8-bit paths that need no file system.
#pragma once

#include <string_view>

// The directory part of `path`: everything before its last backslash (0x5C), or, when it has
// none, before its last slash (0x2F); the separator itself is dropped. A path without either is
// returned whole. Bytes are compared one by one, without regard to double-byte characters.
std::string_view DirectoryOf(std::string_view path);
