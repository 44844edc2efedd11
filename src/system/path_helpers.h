// Small file-system services for the payload unpacker.
#pragma once

#include <string>

// 1 when the path names an existing file or directory (whatever its attributes), else 0.
int FileExists(const char* path);

// Creates every missing directory along a backslash-separated path (a trailing backslash is
// optional). 0 when no creation failed, -1 as soon as one level cannot be created; levels made
// before the failure stay. The caller's string is not changed.
int CreateDirectoryChain(const std::string& path);

// Directory of the running executable with one trailing backslash, computed once per process.
// The text lives for the process and never changes; callers must not write into it. Empty when
// the executable's path cannot be had or does not fit MAX_PATH.
const char* GetModuleDirectory();
